#include "playback/FramePlayer.h"

#include <algorithm>
#include <chrono>

#include "image/Image.h"
#include "platform/Memory.h"
#include "platform/ScopeExit.h"
#include "platform/Thread.h"
#include "playback/Commands.h"

CFramePlayer::CFramePlayer(CPlayerClient& client, CSourceSettings& source,
                           CPlaybackSettings& playback)
    : m_client(client),
      m_source(source),
      m_playback(playback),
      m_pImage(std::make_shared<CImage>()),
      m_pLoading(std::make_unique<CImage>()),
      m_cache([this] { return m_client.StopRequested(); }) {}

CFramePlayer::~CFramePlayer() = default;

uint32_t CFramePlayer::ThreadProc(void* param) {
    auto* player = static_cast<CFramePlayer*>(param);
    try {
        player->Run();
    } catch (...) {
        // A worker that cannot go on (out of memory outside a decode) stops as if asked: the
        // control keeps what it shows, and its destroy still hears the exit.
    }
    player->m_client.ExitEvent().SetEvent();
    return 0;
}

void CFramePlayer::Run() {
    // Not waited for: a destroy need not wait while the system takes back the memory of the
    // decodes ahead that the stop abandoned (hundreds of megabytes for huge frames).
    CScopeExit leave([this] {
        m_cache.RequestStopReadAhead();
        m_watch.Stop();
    });
    bool waitFirst = false;
    while (!m_client.StopRequested()) {
        if (waitFirst) {
            waitFirst = false;
            m_cache.StopReadAhead();  // read-ahead threads exist only while a command plays
            WaitForWake();
        }
        // No wait is forced after a scan: the control stops playback before it asks for one,
        // so the step below shows the first frame and waits anyway. A play command found here
        // came with the new source, and its wake may have merged with the source's own into
        // the one that started this pass; waiting for another would stall on the first frame.
        if (m_client.RescanEvent().Wait(0) == WAIT_OBJECT_0) ScanDirectory();
        if (m_client.StopRequested()) break;
        FollowDirectory();
        RefitShown();

        const int32_t command = CommandInForce();
        const CCommandMotion motion = MotionOf(command);
        const BOOL loop = m_playback.GetLoop();
        const PauseState pauseState = m_playback.GetPauseState();
        ApplyCache(motion, pauseState);
        if (pauseState == PauseState::User) {
            waitFirst = true;
            continue;
        }
        if (Step(command, motion, loop) || pauseState == PauseState::SingleStep ||
            pauseState == PauseState::SliderDrag) {
            waitFirst = true;
            continue;
        }
        // A negative delay would sleep forever and the stop request would never be served.
        const int32_t delay = m_playback.GetDelay();
        Sleep(delay > 0 ? uint32_t(delay) : 0u);
        Dwell(loop);
    }
}

void CFramePlayer::ApplyCache(CCommandMotion motion, PauseState pauseState) {
    const int32_t megabytes = m_playback.GetCacheSize();
    // CacheSize is kept as set (a saved state may move to a smaller machine), but the cache
    // never takes more than half of the memory the process can count on.
    m_cache.SetBudget(megabytes > 0 ? std::min(int64_t(megabytes) << 20, MemoryLimitBytes() / 2)
                                    : 0);
    m_cache.SetFit(m_playback.GetFit());
    const bool playing =
        megabytes > 0 && pauseState == PauseState::Running && motion.Plays() && m_nCount > 1;
    if (playing) {
        m_cache.StartReadAhead(std::max(1, ProcessorCount() - 1));
    } else {
        m_cache.StopReadAhead();
    }
}

bool CFramePlayer::LoadFrame(const CString& path, const CPlayCourse& course, const CFrameFit& fit) {
    if (path.empty()) return false;
    // An unreadable frame leaves the previous one on show; so does running out of memory in
    // the decode, in the copy of a kept picture or in the cache's own books.
    return LoadOrUnreadable([&] { return LoadFrameThrough(path, course, fit); });
}

bool CFramePlayer::LoadFrameThrough(const CString& path, const CPlayCourse& course,
                                    const CFrameFit& fit) {
    const auto stop = [this] { return m_client.StopRequested(); };
    if (m_cache.Budget() <= 0) return LoadFrameFile(*m_pLoading, path, stop, fit);
    m_cache.SetFit(fit);
    m_cache.SetCourse(course);
    bool kept = false;
    std::shared_ptr<CImage> frame = m_cache.Take(path, stop, &kept);
    if (!frame) return false;
    // A kept picture stays the cache's; the one on show is always an image of its own.
    if (kept) return m_pLoading->CopyFrom(*frame) != FALSE;
    m_pLoading->Swap(*frame);
    return true;
}

void CFramePlayer::WaitForPaint() {
    if (m_client.PlayerWindow() == nullptr || m_cache.Budget() <= 0) return;
    // A window that does not paint (hidden, or its container busy) holds a step back no
    // longer than this.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    for (;;) {
        {
            CSingleLock lock(m_lock);
            if (!m_bRefreshUnpainted) return;
        }
        if (m_client.StopRequested() || std::chrono::steady_clock::now() >= deadline) return;
        m_painted.Wait(10);
    }
}

void CFramePlayer::PostRefresh() {
    {
        CSingleLock lock(m_lock);
        m_bRefreshUnpainted = true;
    }
    PostMessage(m_client.PlayerWindow(), WM_PLAYER_REFRESH, 0, 0);
}

int32_t CFramePlayer::CommandInForce() {
    const int32_t command = m_playback.GetCommand();
    CSingleLock lock(m_lock);
    if (m_nTurnFrom == kCommandNone) return command;
    if (command == m_nTurnFrom) return m_nTurnTo;
    // The control followed the turn, or gave another command: the turn is spent.
    m_nTurnFrom = m_nTurnTo = kCommandNone;
    return command;
}

void CFramePlayer::Dwell(BOOL loop) {
    if (!loop || !m_bAtDirectionEnd) return;
    // The dwell follows its settings while it lasts: LastDelay shortened or Loop turned off
    // ends it within a slice. The setters wake nothing (a wake at an end would step to the
    // first frame), so the settings are read again between slices instead.
    constexpr uint32_t kSliceMs = 20;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (m_client.StopRequested() || !m_playback.GetLoop()) return;
        const int64_t dwell = m_playback.GetLastDelay();
        const int64_t elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count();
        if (elapsed >= dwell) return;
        // Any wake ends the dwell; it is passed on, so the loop still sees it.
        const uint32_t slice = uint32_t(std::min<int64_t>(dwell - elapsed, kSliceMs));
        if (m_client.WakeEvent().Wait(slice) == WAIT_OBJECT_0) {
            m_client.WakeEvent().SetEvent();
            return;
        }
        RefitShown();
    }
}

void CFramePlayer::RefitShown() {
    const CFrameFit fit = m_playback.GetFit();
    if (fit == m_shownFit) return;
    CString path;
    int32_t width = 0, height = 0;
    bool valid = false;
    {
        CSingleLock lock(m_lock);
        path = m_pImage->GetImagePath();
        width = m_pImage->GetFullWidth();
        height = m_pImage->GetFullHeight();
        valid = m_pImage->IsValid() != FALSE;
    }
    const bool toggled = fit.on != m_shownFit.on;
    m_shownFit = fit;
    if (path.empty() || !valid) return;
    // A smaller area makes do with the decode on show until the next frame; a larger one
    // would show it enlarged from its smaller decode.
    const int32_t wanted = FitEighths(width, height, fit);
    if (wanted == m_nShownEighths || (!toggled && wanted < m_nShownEighths)) return;
    if (!LoadFrame(path, m_shownCourse, fit)) return;
    SwapInLoaded();
    PostRefresh();
}

bool CFramePlayer::PendingTurn(int32_t* from, int32_t* to) {
    CSingleLock lock(m_lock);
    *from = m_nTurnFrom;
    *to = m_nTurnTo;
    return m_nTurnFrom != kCommandNone;
}

void CFramePlayer::RecordTurn(int32_t command) {
    // Called under m_lock. A second turn before the control followed the first keeps the
    // control's command as the one turned from; turning back to it leaves nothing to follow.
    const int32_t from = m_nTurnFrom != kCommandNone ? m_nTurnFrom : command;
    const int32_t to = TurnedCommand(command);
    if (to == from) {
        m_nTurnFrom = m_nTurnTo = kCommandNone;
    } else {
        m_nTurnFrom = from;
        m_nTurnTo = to;
    }
}

bool CFramePlayer::Step(int32_t command, BOOL loop) {
    return Step(command, MotionOf(command), loop);
}

bool CFramePlayer::Step(int32_t command, CCommandMotion motion, BOOL loop) {
    if (m_nCurrent <= -2) return true;
    const CStepPlan plan = MoveCursor(command, motion, loop);
    if (plan.ended) {
        WaitForPaint();
        PostRefresh();
        return true;
    }
    // A frame that fails to load leaves the previous one on show.
    const CFrameFit fit = m_playback.GetFit();
    const bool loaded = LoadFrame(plan.path, plan.course, fit);
    WaitForPaint();
    Commit(plan, loaded, fit);
    PostRefresh();
    return motion.motion == Motion::Rest;
}

CFramePlayer::CStepPlan CFramePlayer::MoveCursor(int32_t command, CCommandMotion motion,
                                                 BOOL loop) {
    CSingleLock lock(m_lock);
    const int32_t count = m_nCount;
    int32_t current = m_nCurrent;

    // Bring the cursor to the index a Seek may have moved away from the one shown.
    bool atLast = false;
    if (current != -1) {
        // After a scan the cursor is at no entry; walk from the head rather than from nowhere.
        if (m_posCurrent == nullptr && count > 0) {
            m_posCurrent = m_frames.GetHeadPosition();
            m_nShown = 0;
        }
        while (m_nShown > current) {
            m_posCurrent = CFrameList::Prev(m_posCurrent);
            --m_nShown;
        }
        if (m_nShown < current) {
            while (m_nShown < count - 1) {
                m_posCurrent = CFrameList::Next(m_posCurrent);
                ++m_nShown;
                if (m_nShown == current) break;
            }
            atLast = (m_nShown == count - 1);
        }
    }

    CStepPlan plan;
    auto toFirst = [&] {
        current = 0;
        m_posCurrent = m_frames.GetHeadPosition();
    };
    auto toLast = [&] {
        current = count - 1;
        m_posCurrent = m_frames.GetTailPosition();
    };
    // With a bounce, a playing command turns round at either end of a list of two or more.
    const bool bounce = loop && motion.pace != Pace::Step && count > 1 && m_playback.GetBounce();
    bool turned = false;
    switch (motion.motion) {
        case Motion::Rest:
            toFirst();
            break;
        case Motion::Forward:
            if (current == -1) {
                toFirst();
            } else if (bounce && current == count - 1) {
                --current;
                m_posCurrent = CFrameList::Prev(m_posCurrent);
                RecordTurn(command);
                turned = true;
            } else if (loop && current == count - 1) {
                toFirst();
            } else if (current >= 0 && current < count - 1) {
                ++current;
                m_posCurrent = CFrameList::Next(m_posCurrent);
            } else if (current > count - 1 && count > 0) {
                // A request past the end of the list in force (one that shrank under a slider
                // drag): the last frame is as far as forward goes, and playback goes on.
                toLast();
            } else {
                plan.ended = true;
            }
            break;
        case Motion::Backward:
            if (current == -1) {
                toLast();
            } else if (bounce && current == 0) {
                ++current;
                m_posCurrent = CFrameList::Next(m_posCurrent);
                RecordTurn(command);
                turned = true;
            } else if (loop && current == 0) {
                toLast();
            } else if (current > 0 && current <= count - 1) {
                --current;
                m_posCurrent = CFrameList::Prev(m_posCurrent);
            } else if (atLast) {
                --current;
            } else {
                m_posCurrent = m_frames.GetHeadPosition();
                plan.ended = true;
            }
            break;
        case Motion::Reload:
            break;  // the frame at the cursor again
    }
    m_nCurrent = current;
    // The frame about to show ends the playing direction (after a turn, the new one).
    const bool forward = (motion.motion == Motion::Forward) != turned;
    m_bAtDirectionEnd = !plan.ended && motion.motion != Motion::Rest && motion.pace != Pace::Step &&
                        current == (forward ? count - 1 : 0);

    if (plan.ended) {
        m_client.EndEvent().SetEvent();
        return plan;
    }
    // The cursor is ahead of m_nShown until the commit; only this thread walks the two
    // together, and a paint meanwhile sees the previous index with the previous picture.
    plan.index = current;
    plan.path = m_posCurrent != nullptr ? CFrameList::GetAt(m_posCurrent).strPath : CString();
    plan.course = CPlayCourse{current, count, forward, loop != FALSE,
                              loop && m_playback.GetBounce() != FALSE};
    return plan;
}

void CFramePlayer::Commit(const CStepPlan& plan, bool loaded, const CFrameFit& fit) {
    {
        CSingleLock lock(m_lock, false);
        LockOutsideDraw(lock);
        if (loaded) m_pImage->Swap(*m_pLoading);
        m_nShown = plan.index;
        m_nShownGeneration = m_nListGeneration;
        if (loaded) m_nShownEighths = DecodedEighths(*m_pImage);
    }
    if (loaded) m_shownFit = fit;
    m_shownCourse = plan.course;
}

void CFramePlayer::GetFrame(std::shared_ptr<CImage>* image, int32_t* pCount, int32_t* pShown,
                            uint32_t* pGeneration) {
    CSingleLock lock(m_lock);
    if (m_bRefreshUnpainted) {
        m_bRefreshUnpainted = false;
        m_painted.SetEvent();
    }
    if (*image != m_pImage) *image = m_pImage;
    *pCount = m_nCount;
    *pShown = m_nShown;
    if (pGeneration) *pGeneration = m_nShownGeneration;
}

void CFramePlayer::DrawShown(const std::function<void(CImage&)>& draw) {
    {
        CSingleLock lock(m_lock);
        ++m_nDrawing;
    }
    CScopeExit ended([this] {
        {
            CSingleLock lock(m_lock);
            --m_nDrawing;
        }
        m_drawEnded.SetEvent();
    });
    draw(*m_pImage);
}

void CFramePlayer::LockOutsideDraw(CSingleLock& lock) {
    for (;;) {
        lock.Lock();
        if (m_nDrawing == 0) return;
        m_bSwapWaited = true;
        lock.Unlock();
        // A draw is short and always ends; the slice only guards a missed signal.
        m_drawEnded.Wait(10);
    }
}

void CFramePlayer::SwapInLoaded() {
    CSingleLock lock(m_lock, false);
    LockOutsideDraw(lock);
    m_pImage->Swap(*m_pLoading);
    m_nShownEighths = DecodedEighths(*m_pImage);
}

int32_t CFramePlayer::Shown() {
    CSingleLock lock(m_lock);
    return m_nShown;
}

CString CFramePlayer::ShownPath() {
    CSingleLock lock(m_lock);
    return m_pImage->GetImagePath();
}

void CFramePlayer::Seek(int32_t index) {
    CSingleLock lock(m_lock);
    m_nCurrent = index;
}

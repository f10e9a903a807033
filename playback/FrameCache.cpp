#include "playback/FrameCache.h"

#include <algorithm>

#include "codecs/JpegImpl.h"
#include "image/Image.h"
#include "platform/ScopeExit.h"
#include "platform/Thread.h"

namespace {

// Waits that must notice a stop are cut into slices of this length.
constexpr uint32_t kSliceMs = 20;

// What a frame of these dimensions takes when kept: its 8-bit block and its palette.
int64_t FrameBytes(int64_t width, int64_t height) {
    return kBlockHeaderBytes + ((width + 3) & ~int64_t(3)) * height + 4 * kMaxPaletteEntries;
}

int64_t Cyclic(int64_t steps, int64_t cycle) {
    const int64_t d = ((steps % cycle) + cycle) % cycle;
    return d == 0 ? cycle : d;
}

}  // namespace

int64_t StepsUntil(const CPlayCourse& course, int32_t index) {
    const int32_t n = course.count;
    if (n <= 0 || index < 0 || index >= n) return kNeverAgain;
    const int32_t at = course.cursor;
    if (at < 0) return course.forward ? index + 1 : n - index;
    if (!course.loop) {
        if (course.forward) return index > at ? index - at : kNeverAgain;
        return index < at ? at - index : kNeverAgain;
    }
    if (!course.bounce || n < 2) {
        return Cyclic(course.forward ? index - at : at - index, n);
    }
    // A bounce is a cycle of 2(n-1) steps: forward through 0..n-1, back through n-2..1.
    const int64_t cycle = 2 * int64_t(n - 1);
    const int64_t here = course.forward || at == 0 ? at : cycle - at;
    int64_t best = Cyclic(index - here, cycle);
    if (index > 0 && index < n - 1) best = std::min(best, Cyclic(cycle - index - here, cycle));
    return best;
}

bool LoadFrameFile(CImage& image, const CString& path, const std::function<bool()>& cancel,
                   const CFrameFit& fit) {
    CJpegReadOptions options;
    options.cancel = cancel;
    options.maxPixels = kMaxFramePixels;
    // The size to fit comes from the frame's own size, which only its header tells.
    CJpegHeader header;
    if (fit.on && ReadJpegHeader(path, &header)) {
        FitSizeFor(header.width, header.height, fit, &options.fitWidth, &options.fitHeight);
    }
    return LoadJpeg(image, path, options) != FALSE;
}

int32_t FitEighths(int32_t width, int32_t height, const CFrameFit& fit) {
    int32_t fitWidth = 0, fitHeight = 0;
    FitSizeFor(width, height, fit, &fitWidth, &fitHeight);
    return JpegScaleEighths(width, height, fitWidth, fitHeight);
}

int32_t DecodedEighths(CImage& image) {
    const int32_t full = image.GetFullWidth(), fullHeight = image.GetFullHeight();
    for (int32_t n = 1; n < 8; ++n) {
        if (JpegScaledSide(full, n) == image.GetWidth() &&
            JpegScaledSide(fullHeight, n) == image.GetHeight()) {
            return n;
        }
    }
    return 8;
}

CFrameCache::~CFrameCache() {
    StopReadAhead();
}

void CFrameCache::SetBudget(int64_t bytes) {
    CSingleLock lock(m_lock);
    bytes = std::max<int64_t>(bytes, 0);
    if (bytes != m_budget) m_tooLarge.clear();
    m_budget = bytes;
    while (m_used > m_budget && !m_entries.empty()) EvictFarthestBeyond(-1);
}

int64_t CFrameCache::Budget() {
    CSingleLock lock(m_lock);
    return m_budget;
}

void CFrameCache::SetList(const std::vector<CString>& paths) {
    CSingleLock lock(m_lock);
    m_paths = paths;
    m_indexOf.clear();
    m_unreadable.clear();
    m_tooLarge.clear();
    for (size_t i = 0; i < m_paths.size(); ++i) m_indexOf.emplace(m_paths[i], int32_t(i));
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (m_indexOf.count(it->first) == 0) {
            m_used -= it->second.bytes;
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    m_course =
        CPlayCourse{-1, int32_t(m_paths.size()), m_course.forward, m_course.loop, m_course.bounce};
    m_work.SetEvent();
}

void CFrameCache::SetFit(const CFrameFit& fit) {
    CSingleLock lock(m_lock);
    if (fit == m_fit) return;
    m_fit = fit;
    m_tooLarge.clear();  // reservations are of the decoded size, which changed
    // A frame kept at another scale is never served again under this fit: it goes first.
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (!AtScaleInForce(it->second)) {
            m_used -= it->second.bytes;
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

bool CFrameCache::AtScaleInForce(const Entry& entry) const {
    return FitEighths(entry.fullWidth, entry.fullHeight, m_fit) == entry.eighths;
}

void CFrameCache::SetCourse(const CPlayCourse& course) {
    CSingleLock lock(m_lock);
    m_course = course;
    m_course.count = int32_t(m_paths.size());
    m_work.SetEvent();
}

int64_t CFrameCache::StepsUntilPath(const CString& path) const {
    const auto it = m_indexOf.find(path);
    return it == m_indexOf.end() ? kNeverAgain : StepsUntil(m_course, it->second);
}

bool CFrameCache::EvictFarthestBeyond(int64_t steps) {
    auto farthest = m_entries.end();
    int64_t farthestSteps = -1;
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        const int64_t s = StepsUntilPath(it->first);
        if (s > farthestSteps) {
            farthestSteps = s;
            farthest = it;
        }
    }
    if (farthest == m_entries.end() || farthestSteps <= steps) return false;
    m_used -= farthest->second.bytes;
    m_entries.erase(farthest);
    return true;
}

void CFrameCache::Evict(const CString& path) {
    const auto it = m_entries.find(path);
    if (it == m_entries.end()) return;
    m_used -= it->second.bytes;
    m_entries.erase(it);
}

bool CFrameCache::Keep(const CString& path, const FileStamp& stamp,
                       const std::shared_ptr<CImage>& image) {
    Evict(path);
    if (m_indexOf.count(path) == 0 || image->GetImpl() == nullptr) return false;
    const int64_t bytes = int64_t(image->GetImpl()->BlockBytes()) + 4 * kMaxPaletteEntries;
    if (bytes > m_budget) return false;
    Entry entry{
        stamp, image, bytes, DecodedEighths(*image), image->GetFullWidth(), image->GetFullHeight()};
    // Decoded under a fit that has changed since: it would never be served.
    if (!AtScaleInForce(entry)) return false;
    const int64_t steps = StepsUntilPath(path);
    while (m_used + m_reserved + bytes > m_budget) {
        if (!EvictFarthestBeyond(steps)) return false;
    }
    m_entries[path] = std::move(entry);
    m_used += bytes;
    NotePeak();
    return true;
}

std::shared_ptr<CImage> CFrameCache::Take(const CString& path, const std::function<bool()>& stop,
                                          bool* kept) {
    *kept = false;
    if (stop()) return nullptr;
    // The stamp comes before the read: a file that changes while it is read gets a later one,
    // so the next Take reads it again.
    FileStamp stamp;
    const bool stamped = GetFileStamp(path, &stamp) != FALSE;
    CFrameFit fit;
    for (;;) {
        {
            CSingleLock lock(m_lock);
            fit = m_fit;
            const auto it = m_entries.find(path);
            if (it != m_entries.end()) {
                if (stamped && it->second.stamp == stamp && AtScaleInForce(it->second)) {
                    *kept = true;
                    return it->second.image;
                }
                Evict(path);  // the file changed: its picture is of no use any more
            }
            if (m_decoding.count(path) == 0) {
                m_decoding.insert(path);
                ++m_decodes;
                break;
            }
        }
        // A read-ahead has this frame under way: rather than idle until it lands, decode the
        // next one nobody has started, so both threads decode the whole time. Never after a
        // stop: a stop waits for no decode.
        if (stop()) return nullptr;
        if (!DecodeAhead()) m_decoded.Wait(kSliceMs);
        if (stop()) return nullptr;
    }

    // Under m_lock. Given up on every way out, a throw from the decode included: a claim left
    // behind would keep every later Take of this frame waiting. The throw itself goes on to
    // the caller, whose load it fails.
    const auto unclaim = [&] {
        m_decoding.erase(path);
        m_decoded.SetEvent();
    };
    CScopeExit unclaimOnThrow([&] {
        CSingleLock lock(m_lock);
        unclaim();
    });
    auto image = std::make_shared<CImage>();
    const bool loaded = LoadFrameFile(*image, path, stop, fit);
    unclaimOnThrow.Dismiss();

    CSingleLock lock(m_lock);
    unclaim();
    if (!loaded) return nullptr;
    m_unreadable.erase(path);
    if (stamped && m_budget > 0) *kept = Keep(path, stamp, image);
    return image;
}

bool CFrameCache::ReadAheadStopped() const {
    return m_stopReadAhead.load() || (m_stop && m_stop());
}

bool CFrameCache::DecodeAhead() {
    CString path;
    int64_t pickSteps = kNeverAgain;
    CFrameFit fit;
    {
        CSingleLock lock(m_lock);
        fit = m_fit;
        const int32_t count = int32_t(m_paths.size());
        if (m_budget <= 0 || count <= 0 || ReadAheadStopped()) return false;
        int32_t pick = -1;
        for (int32_t i = 0; i < count; ++i) {
            const int64_t steps = StepsUntil(m_course, i);
            if (steps >= pickSteps) continue;
            const CString& candidate = m_paths[size_t(i)];
            if (m_entries.count(candidate) || m_decoding.count(candidate) ||
                m_unreadable.count(candidate) || m_tooLarge.count(candidate)) {
                continue;
            }
            pick = i;
            pickSteps = steps;
        }
        if (pick < 0) return false;
        // Claimed while its header is read, so no other thread takes it meanwhile.
        path = m_paths[size_t(pick)];
        m_decoding.insert(path);
    }
    // The reservation is what this frame needs, as its header tells; the stamp comes before
    // the read, as in Take.
    FileStamp stamp;
    CJpegHeader header;
    const bool probed = GetFileStamp(path, &stamp) != FALSE && ReadJpegHeader(path, &header);
    // What the decode holds is of the size it decodes to, which the fit may make smaller.
    const int32_t eighths = FitEighths(header.width, header.height, fit);
    const int32_t width = JpegScaledSide(header.width, eighths);
    const int32_t height = JpegScaledSide(header.height, eighths);
    const int64_t pixels = int64_t(width) * int64_t(height);
    const int64_t cost = kDecodeCost * FrameBytes(width, height);
    {
        CSingleLock lock(m_lock);
        auto unclaim = [&] {
            m_decoding.erase(path);
            m_decoded.SetEvent();  // a Take may wait for this frame
        };
        // A file that cannot be read is left to the worker, which meets the failure as it
        // would without a cache (the previous picture stays up); trying it again here would
        // spin. So is a frame that could never fit.
        if (!probed || pixels <= 0 || pixels > kMaxFramePixels) {
            unclaim();
            m_unreadable.insert(path);
            ++m_decodes;  // the file was read, as far as its header
            return true;
        }
        if (cost > m_budget) {
            unclaim();
            m_tooLarge.insert(path);
            return true;
        }
        // Room for the decode comes first, from frames needed later than this one; when there
        // are none, nothing farther is worth decoding either.
        while (m_used + m_reserved + cost > m_budget) {
            if (!EvictFarthestBeyond(pickSteps)) {
                unclaim();
                return false;
            }
        }
        if (ReadAheadStopped()) {
            unclaim();
            return false;
        }
        m_reserved += cost;
        NotePeak();
        ++m_decodes;
        m_peakDecodesAhead = std::max(m_peakDecodesAhead, ++m_decodesAhead);
    }

    std::shared_ptr<CImage> image;
    const bool loaded = LoadOrUnreadable([&] {
        image = std::make_shared<CImage>();
        return LoadFrameFile(
            *image, path, [this] { return ReadAheadStopped(); }, fit);
    });

    CSingleLock lock(m_lock);
    m_decoding.erase(path);
    m_reserved -= cost;
    --m_decodesAhead;
    m_decoded.SetEvent();
    if (loaded) {
        Keep(path, stamp, image);
    } else if (!ReadAheadStopped()) {
        m_unreadable.insert(path);  // an abandoned decode says nothing of the file
    }
    return true;
}

uint32_t CFrameCache::ReadAheadProc(void* param) {
    auto* cache = static_cast<CFrameCache*>(param);
    try {
        while (!cache->ReadAheadStopped()) {
            if (!cache->DecodeAhead()) cache->m_work.Wait(kSliceMs * 5);
        }
    } catch (...) {
        // Nothing a read-ahead does is needed: a thread that cannot go on leaves early.
    }
    // The last touch of the cache is under its lock, which StopReadAhead takes to count us out.
    CSingleLock lock(cache->m_lock);
    --cache->m_threads;
    cache->m_threadLeft.SetEvent();
    return 0;
}

void CFrameCache::StartReadAhead(int32_t threads) {
    CSingleLock lock(m_lock);
    if (m_threads > 0) return;
    m_stopReadAhead = false;
    for (int32_t i = 0; i < threads; ++i) {
        if (AfxBeginThread(&CFrameCache::ReadAheadProc, this) != nullptr) ++m_threads;
    }
}

void CFrameCache::RequestStopReadAhead() {
    CSingleLock lock(m_lock);
    m_stopReadAhead = true;
    m_work.SetEvent();
}

void CFrameCache::StopReadAhead() {
    RequestStopReadAhead();
    for (;;) {
        {
            CSingleLock lock(m_lock);
            if (m_threads == 0) return;
            m_work.SetEvent();
        }
        m_threadLeft.Wait(kSliceMs);
    }
}

bool CFrameCache::ReadingAhead() {
    CSingleLock lock(m_lock);
    return m_threads > 0;
}

int32_t CFrameCache::FrameCount() {
    CSingleLock lock(m_lock);
    return int32_t(m_entries.size());
}

int64_t CFrameCache::BytesUsed() {
    CSingleLock lock(m_lock);
    return m_used;
}

int64_t CFrameCache::DecodeCount() {
    CSingleLock lock(m_lock);
    return m_decodes;
}

int64_t CFrameCache::PeakCommitted() {
    CSingleLock lock(m_lock);
    return m_peak;
}

int32_t CFrameCache::PeakDecodesAhead() {
    CSingleLock lock(m_lock);
    return m_peakDecodesAhead;
}

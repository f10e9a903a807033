// Decoded frames kept for the next pass, and the threads that decode ahead of the cursor.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/FileIO.h"
#include "platform/Sync.h"
#include "platform/Types.h"
#include "playback/FrameLayout.h"

class CImage;

// Where playback goes from the frame on show: distances are counted along it.
struct CPlayCourse {
    int32_t cursor = -1;  // the frame on show; -1 before the first
    int32_t count = 0;
    bool forward = true;
    bool loop = false;
    bool bounce = false;  // with loop: turns round at either end
};

constexpr int64_t kNeverAgain = std::numeric_limits<int64_t>::max();

// A frame whose decoded size has more pixels than this (16384 x 8192) is an unreadable frame:
// refused from its header, before anything is allocated.
constexpr int64_t kMaxFramePixels = int64_t(1) << 27;

// Loads the frame file at path into image (a JPEG frame, as the worker shows it), abandoning
// the decode as soon as cancel answers true. With fit on, a frame the layout shrinks is
// decoded at the smallest scale that still covers the size it is drawn at (FitSizeFor). False
// when the frame cannot be read, is too large or was abandoned.
bool LoadFrameFile(CImage& image, const CString& path, const std::function<bool()>& cancel,
                   const CFrameFit& fit = {});
// Runs load, a decode and what goes with it, and reads a throw from it (out of memory) as an
// unreadable frame: false.
template <class Load>
bool LoadOrUnreadable(Load&& load) noexcept {
    try {
        return load();
    } catch (...) {
        return false;
    }
}
// The scale (in eighths) a picture of its file's width x height is decoded at under fit, and
// the scale a decoded image was read at.
int32_t FitEighths(int32_t width, int32_t height, const CFrameFit& fit);
int32_t DecodedEighths(CImage& image);

// Steps until frame index is on show again: 1 for the next frame. The frame on show is a whole
// cycle away with loop, and kNeverAgain without; so is any frame the course no longer reaches.
int64_t StepsUntil(const CPlayCourse& course, int32_t index);

// Frames decoded from the list's files, up to a budget of bytes. A frame is kept with the
// stamp its file had before it was read, and served only while the file still has that
// stamp. When the budget binds, the frame whose next showing is farthest away goes first, and
// a frame farther than all kept ones is not kept: a loop longer than the budget then keeps
// serving the same part of itself from memory on every pass instead of none.
//
// One lock guards everything here; no decode runs under it. A file is decoded by one thread at
// a time: a Take of a frame under way waits for it. A decode ahead reserves, from the budget,
// what its frame needs while it runs (read from the frame's header first), so the decodes in
// flight fit the budget on any number of threads; a frame that needs more than the whole
// budget is left to the worker.
class CFrameCache {
public:
    // stop is the owner's stop request: once it answers true no decode starts, and decodes
    // ahead under way are abandoned.
    explicit CFrameCache(std::function<bool()> stop = {}) : m_stop(std::move(stop)) {}
    ~CFrameCache();
    CFrameCache(const CFrameCache&) = delete;
    CFrameCache& operator=(const CFrameCache&) = delete;

    // 0 empties the cache and keeps nothing more; a smaller budget evicts down to it.
    void SetBudget(int64_t bytes);
    int64_t Budget();
    // The list the indexes refer to. Frames of files no longer in it are dropped; the course
    // starts again before the first frame.
    void SetList(const std::vector<CString>& paths);
    // Moves the cursor (and direction); read-ahead follows.
    void SetCourse(const CPlayCourse& course);
    // How frames are decoded from now on (DecodeToFit and the picture area). A kept frame is
    // served only at the scale the fit now asks for it; frames kept at another are dropped.
    void SetFit(const CFrameFit& fit);

    // The picture of the frame whose file is path, as the file is now: kept, or decoded by
    // a read-ahead under way and waited for (decoding a frame ahead meanwhile), or decoded
    // here. Null when the file cannot be
    // read, or when stop answers true during a wait. *kept tells whether the cache holds the
    // picture returned: it must then only be read; otherwise it is the caller's.
    std::shared_ptr<CImage> Take(const CString& path, const std::function<bool()>& stop,
                                 bool* kept);

    // Read-ahead threads decode the frames nearest ahead of the cursor that the budget keeps.
    // Stop abandons the decodes under way and waits for each thread to leave.
    void StartReadAhead(int32_t threads);
    void StopReadAhead();
    // The same stop, without the wait: the threads leave on their own, giving back their
    // abandoned decodes' memory meanwhile; a start makes new ones once they have left, and
    // the cache's end waits for them.
    void RequestStopReadAhead();
    bool ReadingAhead();

    int32_t FrameCount();
    int64_t BytesUsed();
    // Files decoded so far, here and by read-ahead (failed reads included).
    int64_t DecodeCount();
    // The most the kept frames and the reservations of decodes ahead ever held together, and
    // the most decodes ahead ever under way at once.
    int64_t PeakCommitted();
    int32_t PeakDecodesAhead();

private:
    struct Entry {
        FileStamp stamp;
        std::shared_ptr<CImage> image;
        int64_t bytes = 0;
        int32_t eighths = 8;  // the scale it was decoded at
        int32_t fullWidth = 0, fullHeight = 0;
    };
    // Under m_lock: whether a kept frame is at the scale the fit asks for it now.
    bool AtScaleInForce(const Entry& entry) const;

    static uint32_t ReadAheadProc(void* param);
    // The owner asked to stop, or the read-ahead is to stop: no decode ahead starts or goes on.
    bool ReadAheadStopped() const;
    // Decodes the nearest frame ahead that is neither kept nor under way and would be kept;
    // false when there is none.
    bool DecodeAhead();
    // Under m_lock: keeps image unless the budget would then have to drop a frame needed
    // sooner. True when kept.
    bool Keep(const CString& path, const FileStamp& stamp, const std::shared_ptr<CImage>& image);
    int64_t StepsUntilPath(const CString& path) const;
    // Under m_lock: notes what the kept frames and the reservations hold now.
    void NotePeak() { m_peak = std::max(m_peak, m_used + m_reserved); }
    void Evict(const CString& path);
    // Under m_lock: drops the kept frame needed last, if it is needed later than `steps`
    // from now; false when none is.
    bool EvictFarthestBeyond(int64_t steps);

    CCriticalSection m_lock;
    const std::function<bool()> m_stop;
    int64_t m_budget = 0;
    int64_t m_used = 0;
    // Decodes ahead hold memory while they run: the picture, and the decoder's own copy of it
    // at 24 bits. The budget covers them too, counted as this many frames each.
    static constexpr int64_t kDecodeCost = 4;
    int64_t m_reserved = 0;
    int64_t m_peak = 0;
    int32_t m_decodesAhead = 0;
    int32_t m_peakDecodesAhead = 0;
    std::vector<CString> m_paths;
    std::unordered_map<CString, int32_t> m_indexOf;
    std::unordered_map<CString, Entry> m_entries;
    std::set<CString> m_decoding;
    std::set<CString> m_unreadable;  // read-ahead leaves these to the worker
    std::set<CString> m_tooLarge;    // and these, which need more than the whole budget
    CPlayCourse m_course;
    CFrameFit m_fit;
    CEvent m_decoded;  // a decode finished (the worker waits on it)
    CEvent m_work;     // the course moved, or the read-ahead is to stop
    CEvent m_threadLeft;
    int64_t m_decodes = 0;
    int32_t m_threads = 0;  // read-ahead threads still running
    // Written under m_lock, read without it by decodes under way.
    std::atomic<bool> m_stopReadAhead{false};
};

// Decoded frames kept for the next pass, and the threads that decode ahead of the cursor.
#pragma once

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
// a time: a Take of a frame under way waits for it.
class CFrameCache {
public:
    CFrameCache() = default;
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

    // The picture of the frame whose file is path, as the file is now: kept, or decoded by
    // a read-ahead under way and waited for (decoding a frame ahead meanwhile), or decoded
    // here. Null when the file cannot be
    // read, or when stop answers true during a wait. *kept tells whether the cache holds the
    // picture returned: it must then only be read; otherwise it is the caller's.
    std::shared_ptr<CImage> Take(const CString& path, const std::function<bool()>& stop,
                                 bool* kept);

    // Read-ahead threads decode the frames nearest ahead of the cursor that the budget keeps.
    // Stop waits for each thread to finish the decode it is in and leave.
    void StartReadAhead(int32_t threads);
    void StopReadAhead();
    bool ReadingAhead();

    int32_t FrameCount();
    int64_t BytesUsed();
    // Files decoded so far, here and by read-ahead (failed reads included).
    int64_t DecodeCount();

private:
    struct Entry {
        FileStamp stamp;
        std::shared_ptr<CImage> image;
        int64_t bytes = 0;
    };

    static uint32_t ReadAheadProc(void* param);
    // Decodes the nearest frame ahead that is neither kept nor under way and would be kept;
    // false when there is none.
    bool DecodeAhead();
    // Under m_lock: keeps image unless the budget would then have to drop a frame needed
    // sooner. True when kept.
    bool Keep(const CString& path, const FileStamp& stamp, const std::shared_ptr<CImage>& image);
    int64_t StepsUntilPath(const CString& path) const;
    void Evict(const CString& path);
    // Under m_lock: drops the kept frame needed last, if it is needed later than `steps`
    // from now; false when none is.
    bool EvictFarthestBeyond(int64_t steps);

    CCriticalSection m_lock;
    int64_t m_budget = 0;
    int64_t m_used = 0;
    int64_t m_lastFrameBytes = 0;  // what the next frame will likely need
    // Decodes ahead hold memory while they run: the picture, and the decoder's own copy of it
    // at 24 bits. The budget covers them too, counted as this many frames each.
    static constexpr int64_t kDecodeCost = 4;
    int64_t m_reserved = 0;
    std::vector<CString> m_paths;
    std::unordered_map<CString, int32_t> m_indexOf;
    std::unordered_map<CString, Entry> m_entries;
    std::set<CString> m_decoding;
    std::set<CString> m_unreadable;  // read-ahead leaves these to the worker
    CPlayCourse m_course;
    CEvent m_decoded;  // a decode finished (the worker waits on it)
    CEvent m_work;     // the course moved, or the read-ahead is to stop
    CEvent m_threadLeft;
    int64_t m_decodes = 0;
    int32_t m_threads = 0;  // read-ahead threads still running
    bool m_stopReadAhead = false;
};

// The animation writer: frames are made, compared with the one before and encoded on worker
// threads, each taking the next frame in order; this thread writes their blocks in order.
// A frame's picture is held until the frame after it has been compared with it, and no
// thread runs more than threads + 1 frames ahead of the file, so few pictures are held at once.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "codecs/GifAnimation.h"
#include "codecs/GifFrameEncoder.h"
#include "platform/FileIO.h"
#include "platform/Thread.h"

namespace {

constexpr int32_t kMaxGifSide = 0xFFFF;  // sizes are 16-bit words in the file
constexpr int32_t kMaxRepeat = 65536;    // a loop count of 65535
constexpr int32_t kMaxCentiseconds = 0xFFFF;
constexpr uint8_t kTrailer = 0x3B;

class CAnimationWriter {
public:
    CAnimationWriter(const std::vector<int32_t>& delays, const GifFrameMaker& maker,
                     const CGifWriteOptions& options, int32_t threads)
        : m_delays(delays), m_maker(maker), m_options(options), m_threads(threads) {}

    CGifWriteResult Run(const CString& path);

private:
    // Counts the pictures alive, for the bound the writer promises.
    struct CHeldPicture : CGifPicture {
        explicit CHeldPicture(CAnimationWriter& owner) : writer(owner) {
            const int32_t now = ++writer.m_held;
            int32_t peak = writer.m_peakHeld.load();
            while (now > peak && !writer.m_peakHeld.compare_exchange_weak(peak, now)) {
            }
        }
        ~CHeldPicture() { --writer.m_held; }
        CAnimationWriter& writer;
    };

    int32_t Count() const { return int32_t(m_delays.size()); }
    // A worker's loop; what it throws (memory, or the maker's own) fails the write.
    void Work();
    void WorkOn(int32_t* index);
    std::shared_ptr<CHeldPicture> Make(int32_t index);
    std::string EncodeFrame(int32_t index, const CGifPicture& cur, const CGifPicture* prev,
                            const CGifGlobalTable& global, CGifFrameEncoder& encoder);
    // Under m_lock: the first failure is the one reported.
    void FailLocked(GifWriteError error, int32_t frame, std::error_code io = {}) {
        if (m_failed) return;
        m_failed = true;
        m_result.error = error;
        m_result.frame = frame;
        m_result.io = io;
        m_changed.notify_all();
    }

    const std::vector<int32_t>& m_delays;
    const GifFrameMaker& m_maker;
    const CGifWriteOptions& m_options;
    const int32_t m_threads;

    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_failed = false;
    CGifWriteResult m_result;
    int32_t m_nextClaim = 0;
    int32_t m_written = 0;
    std::shared_ptr<const CGifGlobalTable> m_global;
    // Each picture waits here for the frame after it, which takes it.
    std::map<int32_t, std::shared_ptr<CHeldPicture>> m_waiting;
    std::map<int32_t, std::string> m_encoded;

    std::atomic<int32_t> m_held{0};
    std::atomic<int32_t> m_peakHeld{0};
};

std::shared_ptr<CAnimationWriter::CHeldPicture> CAnimationWriter::Make(int32_t index) {
    auto picture = std::make_shared<CHeldPicture>(*this);
    picture->image = std::make_unique<CImage>();
    if (!m_maker(index, *picture->image)) {
        std::lock_guard<std::mutex> lock(m_lock);
        FailLocked(GifWriteError::FrameMaker, index);
        return nullptr;
    }
    if (!ReadGifPicture(picture.get())) {
        std::lock_guard<std::mutex> lock(m_lock);
        FailLocked(GifWriteError::BadFrame, index);
        return nullptr;
    }
    return picture;
}

std::string CAnimationWriter::EncodeFrame(int32_t index, const CGifPicture& cur,
                                          const CGifPicture* prev, const CGifGlobalTable& global,
                                          CGifFrameEncoder& encoder) {
    const int32_t delay = GifDelayCentiseconds(m_delays[size_t(index)]);
    const CGifArea whole{0, 0, cur.width, cur.height};
    std::string header = index == 0 ? GifFileHeader(global, m_options.repeat) : std::string();
    if (prev == nullptr || !m_options.optimize) {
        return header + encoder.Encode(cur, nullptr, whole, global, delay);
    }
    const CGifArea changed = DifferenceOf(*prev, cur);
    if (changed.width == 0) {
        // Nothing to draw, but the frame and its delay stay: one pixel as it is shown.
        return encoder.Encode(cur, nullptr, CGifArea{0, 0, 1, 1}, global, delay);
    }
    std::string best = encoder.Encode(cur, nullptr, changed, global, delay);
    const auto consider = [&best](std::string candidate) {
        if (!candidate.empty() && candidate.size() < best.size()) best = std::move(candidate);
    };
    consider(encoder.Encode(cur, prev, changed, global, delay));
    if (changed.width != whole.width || changed.height != whole.height) {
        consider(encoder.Encode(cur, nullptr, whole, global, delay));
    }
    return best;
}

void CAnimationWriter::Work() {
    int32_t index = -1;
    try {
        WorkOn(&index);
    } catch (const std::bad_alloc&) {
        std::lock_guard<std::mutex> lock(m_lock);
        FailLocked(GifWriteError::NoMemory, index);
    } catch (...) {
        std::lock_guard<std::mutex> lock(m_lock);
        FailLocked(GifWriteError::FrameMaker, index);
    }
}

void CAnimationWriter::WorkOn(int32_t* current) {
    CGifFrameEncoder encoder;
    for (;;) {
        int32_t index = 0;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            // No frame is started more than threads + 1 frames ahead of the file.
            m_changed.wait(lock, [&] {
                return m_failed || m_nextClaim >= Count() ||
                       m_nextClaim < m_written + m_threads + 1;
            });
            if (m_failed || m_nextClaim >= Count()) return;
            index = m_nextClaim++;
            *current = index;
        }
        std::shared_ptr<CHeldPicture> cur = Make(index);
        if (!cur) return;

        std::shared_ptr<CHeldPicture> prev;
        std::shared_ptr<const CGifGlobalTable> global;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            if (index == 0) {
                if (cur->width > kMaxGifSide || cur->height > kMaxGifSide) {
                    FailLocked(GifWriteError::TooLarge, 0);
                    return;
                }
                m_global = std::make_shared<CGifGlobalTable>(GlobalTableOf(*cur));
            }
            if (index + 1 < Count()) m_waiting[index] = cur;
            m_changed.notify_all();
            // The frame before was started earlier and publishes its picture before it waits
            // for anything, so this wait always ends.
            m_changed.wait(lock, [&] {
                return m_failed || (m_global && (index == 0 || m_waiting.count(index - 1)));
            });
            if (m_failed) return;
            global = m_global;
            if (index > 0) {
                auto it = m_waiting.find(index - 1);
                prev = std::move(it->second);
                m_waiting.erase(it);
            }
            if (cur->width != global->width || cur->height != global->height) {
                FailLocked(GifWriteError::BadFrame, index);
                return;
            }
        }
        cur->sharesGlobal = cur->colorCount == global->count &&
                            std::equal(cur->colors, cur->colors + global->count, global->colors);
        std::string bytes = EncodeFrame(index, *cur, prev.get(), *global, encoder);
        prev.reset();
        cur.reset();
        std::lock_guard<std::mutex> lock(m_lock);
        m_encoded[index] = std::move(bytes);
        m_changed.notify_all();
    }
}

CGifWriteResult CAnimationWriter::Run(const CString& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::path(path), ec)) {
        m_result.error = GifWriteError::Io;
        m_result.io = std::make_error_code(std::errc::is_a_directory);
        return m_result;
    }
    const CString partial = PartialPathFor(path);
    errno = 0;
    const HFILE file = FileCreate(partial);
    if (file == HFILE_ERROR) {
        m_result.error = GifWriteError::Io;
        m_result.io = std::error_code(errno ? errno : EIO, std::generic_category());
        return m_result;
    }

    std::vector<std::thread> workers;
    try {
        for (int32_t i = 0; i < m_threads; ++i) workers.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
        // The threads that did start take every frame; without any, nothing could.
        if (workers.empty()) {
            FileClose(file);
            std::filesystem::remove(std::filesystem::path(partial), ec);
            m_result.error = GifWriteError::NoMemory;
            return m_result;
        }
    }

    int64_t size = 0;
    const auto put = [&](const void* bytes, size_t count) {
        errno = 0;
        if (FileWrite(file, bytes, int64_t(count)) == int64_t(count)) {
            size += int64_t(count);
            return true;
        }
        std::lock_guard<std::mutex> lock(m_lock);
        FailLocked(GifWriteError::Io, -1,
                   std::error_code(errno ? errno : EIO, std::generic_category()));
        return false;
    };
    for (int32_t index = 0; index < Count(); ++index) {
        std::string bytes;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_changed.wait(lock, [&] { return m_failed || m_encoded.count(index); });
            if (m_failed) break;
            auto it = m_encoded.find(index);
            bytes = std::move(it->second);
            m_encoded.erase(it);
        }
        if (!put(bytes.data(), bytes.size())) break;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_written = index + 1;
            m_changed.notify_all();
        }
        if (m_options.progress) m_options.progress(index + 1, Count());
    }
    for (std::thread& worker : workers) worker.join();

    bool ok = !m_failed;
    if (ok) {
        const uint8_t trailer = kTrailer;
        ok = put(&trailer, 1);
    }
    int code = 0;
    if (ok && !FileFlush(file)) code = errno ? errno : EIO;
    // A network or full disk may report a failed write only at the close.
    if (!FileClose(file) && ok && code == 0) code = errno ? errno : EIO;
    if (ok && code != 0) {
        m_result.error = GifWriteError::Io;
        m_result.io = std::error_code(code, std::generic_category());
        ok = false;
    }
    if (ok) {
        m_result.io = CommitPartial(partial, path);
        if (m_result.io) m_result.error = GifWriteError::Io;
    } else {
        std::filesystem::remove(std::filesystem::path(partial), ec);
    }
    m_result.bytes = m_result.error == GifWriteError::None ? size : 0;
    m_result.peakPictures = m_peakHeld.load();
    return m_result;
}

}  // namespace

int32_t GifDelayCentiseconds(int32_t delayMs) {
    if (delayMs < 20) return 2;
    return int32_t(std::min<int64_t>((int64_t(delayMs) + 5) / 10, kMaxCentiseconds));
}

CGifWriteResult WriteGifAnimation(const CString& path, const std::vector<int32_t>& delaysMs,
                                  const GifFrameMaker& maker, const CGifWriteOptions& options) {
    CGifWriteResult result;
    if (delaysMs.empty()) {
        result.error = GifWriteError::NoFrames;
        return result;
    }
    if (options.repeat < 0 || options.repeat > kMaxRepeat || !maker) {
        result.error = GifWriteError::Arguments;
        return result;
    }
    const int32_t threads = std::clamp(options.threads > 0 ? options.threads : ProcessorCount(), 1,
                                       int32_t(delaysMs.size()));
    CAnimationWriter writer(delaysMs, maker, options, threads);
    return writer.Run(path);
}

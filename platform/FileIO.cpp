// The file calls both platforms share: stdio streams over the checked open, the name a file
// is written under before it is committed, whole-file reads and writes, the fault seam.
#include "platform/FileIO.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// The longest file name the systems take (bytes on Linux, characters on Windows).
constexpr size_t kMaxLeafName = 255;

// Makes the partial name unique to the process.
unsigned long ProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

std::atomic<FileFault> g_fault{FileFault::None};

}  // namespace

int TakeInjectedFault(bool write) {
    FileFault fault = g_fault.load();
    if (fault == FileFault::None || (fault != FileFault::ReadIo) != write) return 0;
    if (!g_fault.compare_exchange_strong(fault, FileFault::None)) return 0;
    return fault == FileFault::WriteNoSpace ? ENOSPC : EIO;
}

void InjectFileFault(FileFault fault) {
    g_fault = fault;
}

FILE* OpenFileForRead(const CString& path) {
    const HFILE file = FileOpenRead(path);
    if (file == HFILE_ERROR) return nullptr;
#ifdef _WIN32
    FILE* stream = _fdopen(file, "rb");
#else
    FILE* stream = fdopen(file, "rb");
#endif
    if (stream == nullptr) FileClose(file);
    return stream;
}

FILE* CreateFileForWrite(const CString& path) {
    return std::fopen(path.c_str(), "wb");
}

bool CFileStream::Close() noexcept {
    FILE* file = m_file;
    m_file = nullptr;
    return file == nullptr || std::fclose(file) == 0;
}

CString PartialPathFor(const CString& target) {
    // Two saves of one file at once, on two threads, each get a name of their own.
    static std::atomic<unsigned> serial{0};
    const std::filesystem::path path(FinalTarget(target));
    const std::string name = path.filename().string();
    const std::string suffix =
        ".partial-" + std::to_string(ProcessId()) + "-" + std::to_string(serial++);
    std::string leaf = "." + name + suffix;
    if (leaf.size() > kMaxLeafName) {
        // A name near the limit keeps its start and a hash of the whole, so that two long
        // names that share their start still get partial names of their own.
        char hash[24];
        std::snprintf(hash, sizeof hash, "~%016zx", std::hash<std::string>{}(name));
        leaf = "." + name.substr(0, kMaxLeafName - 1 - std::strlen(hash) - suffix.size()) + hash +
               suffix;
    }
    return (path.parent_path() / leaf).string();
}

FileReadError ReadWholeFile(const CString& path, size_t maxBytes, CString* contents,
                            std::error_code* reason) {
    contents->clear();
    auto fail = [&](FileReadError error, int code) {
        contents->clear();
        contents->shrink_to_fit();
        if (reason) *reason = std::error_code(code, std::generic_category());
        return error;
    };
    errno = 0;
    const HFILE file = FileOpenRead(path);
    if (file == HFILE_ERROR) {
        const int code = errno;
        return fail(code == ENOENT ? FileReadError::NotFound : FileReadError::Io, code);
    }
    const int64_t size = FileSize(file);
    if (size > int64_t(maxBytes)) {
        FileClose(file);
        return fail(FileReadError::TooLarge, EFBIG);
    }
    // The size is only a hint: the file may grow while it is read, so the limit is applied
    // to what arrives.
    if (size > 0) contents->reserve(size_t(size));
    char chunk[64 * 1024];
    for (;;) {
        const int64_t n = FileRead(file, chunk, sizeof chunk);
        if (n < 0) {
            const int code = errno;
            FileClose(file);
            return fail(FileReadError::Io, code);
        }
        if (n == 0) break;
        if (contents->size() + size_t(n) > maxBytes) {
            FileClose(file);
            return fail(FileReadError::TooLarge, EFBIG);
        }
        contents->append(chunk, size_t(n));
    }
    FileClose(file);
    if (reason) reason->clear();
    return FileReadError::None;
}

CString DescribeReadError(FileReadError error, const std::error_code& reason, size_t maxBytes) {
    switch (error) {
        case FileReadError::None:
            return "no error";
        case FileReadError::NotFound:
            return "no such file";
        case FileReadError::TooLarge:
            return "too large (more than " + std::to_string(maxBytes) + " bytes)";
        case FileReadError::Io:
            break;
    }
    if (reason.value() == EINVAL) return "not a regular file";
    return reason.message();
}

std::error_code WriteWholeFile(const CString& path, std::string_view contents) {
    const CString partial = PartialPathFor(path);
    errno = 0;
    const HFILE file = FileCreate(partial);
    if (file == HFILE_ERROR) return std::error_code(errno, std::generic_category());
    int code = 0;
    if (FileWrite(file, contents.data(), int64_t(contents.size())) != int64_t(contents.size())) {
        code = errno ? errno : EIO;
    } else if (!FileFlush(file)) {
        code = errno ? errno : EIO;
    }
    // A network or full disk may report a failed write only here.
    if (!FileClose(file) && code == 0) code = errno ? errno : EIO;
    if (code != 0) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        return std::error_code(code, std::generic_category());
    }
    return CommitPartial(partial, path);
}

#include "platform/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace {

// As the system resolves paths: a longer chain of links is a loop.
constexpr int kMaxLinkHops = 40;

}  // namespace

CString FinalTarget(const CString& path) {
    std::filesystem::path at(path);
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(at.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        std::error_code ec;
        const std::filesystem::path next = std::filesystem::read_symlink(at, ec);
        if (ec) break;
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return at.string();
}

std::error_code CommitPartial(const CString& partial, const CString& target) {
    const CString final = FinalTarget(target);
    // The new file takes the place of the old one with the old one's permissions; a failure
    // to set them leaves the partial file's own, which are no wider than the defaults.
    struct stat info {};
    if (::stat(final.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        (void)::chmod(partial.c_str(), info.st_mode & 07777);
    }
    std::error_code ec;
    std::filesystem::rename(partial, final, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
    }
    return ec;
}

HFILE FileOpenRead(const CString& path) {
    // Opening a FIFO for reading blocks until a writer comes; without blocking it opens at
    // once, and the check below then refuses it. A regular file reads the same either way,
    // but the flag is cleared so later reads keep the ordinary semantics.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return HFILE_ERROR;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return HFILE_ERROR;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return HFILE_ERROR;
    }
    return fd;
}

HFILE FileCreate(const CString& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? HFILE_ERROR : fd;
}

int64_t FileRead(HFILE file, void* buffer, int64_t count) {
    if (count < 0) return -1;
    if (const int fault = TakeInjectedFault(false)) {
        errno = fault;
        return -1;
    }
    int64_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(file, out + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += n;
    }
    return done;
}

int64_t FileWrite(HFILE file, const void* buffer, int64_t count) {
    if (count < 0) return -1;
    if (const int fault = TakeInjectedFault(true)) {
        errno = fault;
        return -1;
    }
    int64_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(file, in + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) {
            errno = ENOSPC;
            return -1;
        }
        done += n;
    }
    return done;
}

int64_t FileSeek(HFILE file, int64_t offset, int origin) {
    const off_t pos = ::lseek(file, off_t(offset), origin);
    return pos < 0 ? -1 : int64_t(pos);
}

int64_t FileSize(HFILE file) {
    struct stat st {};
    if (::fstat(file, &st) != 0) return -1;
    return int64_t(st.st_size);
}

BOOL FileFlush(HFILE file) {
    return ::fsync(file) == 0 ? TRUE : FALSE;
}

BOOL FileClose(HFILE file) {
    if (file < 0) return FALSE;
    return ::close(file) == 0 ? TRUE : FALSE;
}

BOOL GetFileStamp(const CString& path, FileStamp* stamp) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return FALSE;
    stamp->size = int64_t(info.st_size);
    stamp->modified = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return TRUE;
}

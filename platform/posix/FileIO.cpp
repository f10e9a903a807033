#include "platform/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

std::error_code CommitPartial(const CString& partial, const CString& target) {
    std::error_code ec;
    std::filesystem::rename(partial, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
    }
    return ec;
}

HFILE FileOpenRead(const CString& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd < 0 ? HFILE_ERROR : fd;
}

HFILE FileCreate(const CString& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? HFILE_ERROR : fd;
}

int64_t FileRead(HFILE file, void* buffer, int64_t count) {
    if (count < 0) return -1;
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
    int64_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(file, in + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
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

void FileClose(HFILE file) {
    if (file >= 0) ::close(file);
}

BOOL GetFileStamp(const CString& path, FileStamp* stamp) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return FALSE;
    stamp->size = int64_t(info.st_size);
    stamp->modified = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return TRUE;
}

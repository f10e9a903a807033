#include "platform/FileIO.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

// Links are rare on Windows and the system follows them itself when it opens a file.
CString FinalTarget(const CString& path) {
    return path;
}

std::error_code CommitPartial(const CString& partial, const CString& target) {
    if (MoveFileExA(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    const std::error_code ec(int(GetLastError()), std::system_category());
    DeleteFileA(partial.c_str());
    return ec;
}

HFILE FileOpenRead(const CString& path) {
    const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) return HFILE_ERROR;
    // A device or a pipe by a file's name is no frame: refused before anything reads it.
    struct _stati64 st {};
    if (_fstati64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
        _close(fd);
        errno = EINVAL;
        return HFILE_ERROR;
    }
    return fd;
}

HFILE FileCreate(const CString& path) {
    const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE);
    return fd < 0 ? HFILE_ERROR : fd;
}

// The CRT's calls take 32-bit counts: large transfers go in pieces.
constexpr int64_t kChunk = 1 << 30;

int64_t FileRead(HFILE file, void* buffer, int64_t count) {
    if (count < 0) return -1;
    if (const int fault = TakeInjectedFault(false)) {
        errno = fault;
        return -1;
    }
    int64_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const int n = _read(file, out + done, unsigned(std::min(count - done, kChunk)));
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
        const int n = _write(file, in + done, unsigned(std::min(count - done, kChunk)));
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
    const int64_t pos = _lseeki64(file, offset, origin);
    return pos < 0 ? -1 : pos;
}

int64_t FileSize(HFILE file) {
    struct _stati64 st {};
    if (_fstati64(file, &st) != 0) return -1;
    return int64_t(st.st_size);
}

BOOL FileFlush(HFILE file) {
    return _commit(file) == 0 ? TRUE : FALSE;
}

BOOL FileClose(HFILE file) {
    if (file < 0) return FALSE;
    return _close(file) == 0 ? TRUE : FALSE;
}

BOOL GetFileStamp(const CString& path, FileStamp* stamp) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return FALSE;
    stamp->size = (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp->modified =
        (int64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return TRUE;
}

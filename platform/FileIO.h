// File access by path. Codecs that use libjpeg, libpng or stdio get a FILE*, held by a
// CFileStream; the BMP routines use the handle calls, whose counts are 64-bit.
//
// Every open for reading refuses what is not a regular file (a FIFO, a device, a folder)
// before anything reads from it, so no reader can block on a name that merely looks like
// a file.
#pragma once

#include <cstdio>
#include <string_view>
#include <system_error>

#include "platform/Types.h"

// Open for reading, or create/truncate for writing; null on failure.
FILE* OpenFileForRead(const CString& path);
FILE* CreateFileForWrite(const CString& path);

// Owns one stream and closes it exactly once: on Close, or at the end of its scope. Code that
// longjmps (the libjpeg and libpng error exits) keeps it in or above the frame that calls
// setjmp, made before setjmp, so that no jump skips its destructor.
class CFileStream {
public:
    explicit CFileStream(FILE* file = nullptr) noexcept : m_file(file) {}
    ~CFileStream() { Close(); }
    CFileStream(const CFileStream&) = delete;
    CFileStream& operator=(const CFileStream&) = delete;

    FILE* Get() const noexcept { return m_file; }
    explicit operator bool() const noexcept { return m_file != nullptr; }
    // False when output held in the buffer cannot be written out, or the system reports at
    // the close an error it held back: a writer's last word on whether its file is whole.
    bool Close() noexcept;

private:
    FILE* m_file;
};

// A file is written whole or not at all by writing it under PartialPathFor (a hidden name
// beside it, unique to the process, that fits wherever the target's name fits) and then
// CommitPartial: renamed over the target, or removed when that fails. A target that is a
// symbolic link is written through: the partial file sits beside the file the link leads
// to and replaces that file, so the link stays. An existing target's permission bits are
// kept. The error is empty on success.
CString PartialPathFor(const CString& target);
std::error_code CommitPartial(const CString& partial, const CString& target);

// Whole files. A read takes at most maxBytes; *contents is replaced, and left empty on
// failure, with the system's reason in *reason when asked for.
enum class FileReadError { None, NotFound, Io, TooLarge };
FileReadError ReadWholeFile(const CString& path, size_t maxBytes, CString* contents,
                            std::error_code* reason = nullptr);
// "no such file", "too large (more than N bytes)" or the system's reason.
CString DescribeReadError(FileReadError error, const std::error_code& reason, size_t maxBytes);
// Writes contents beside path and renames them in (as above): path holds either what it
// held before or all of contents. The error is empty on success.
std::error_code WriteWholeFile(const CString& path, std::string_view contents);

// Test seam: the next FileRead or FileWrite of the process (and so the next whole-file read
// or write) fails with this error, once. Only tests set it.
enum class FileFault { None, WriteNoSpace, WriteIo, ReadIo };
void InjectFileFault(FileFault fault);

// What tells one version of a file from another without reading it: its size and its last
// write time (nanoseconds on Linux, 100 ns units on Windows; compared, never converted).
struct FileStamp {
    int64_t size = -1;
    int64_t modified = 0;
    bool operator==(const FileStamp&) const = default;
};
// FALSE, *stamp untouched, when the file cannot be queried.
BOOL GetFileStamp(const CString& path, FileStamp* stamp);

#ifndef _WIN32
using HFILE = int32_t;
constexpr HFILE HFILE_ERROR = -1;
#endif

// Opens a regular file for reading; HFILE_ERROR otherwise, with errno set (ENOENT for a
// missing file, EINVAL for one that is not a regular file).
HFILE FileOpenRead(const CString& path);
HFILE FileCreate(const CString& path);
// Bytes transferred (short at end of file), or -1 on error (errno set).
int64_t FileRead(HFILE file, void* buffer, int64_t count);
int64_t FileWrite(HFILE file, const void* buffer, int64_t count);
// origin: SEEK_SET, SEEK_CUR or SEEK_END; the new position, or -1 on error.
int64_t FileSeek(HFILE file, int64_t offset, int origin);
// Size of the open file in bytes, or -1.
int64_t FileSize(HFILE file);
// Puts what was written on the disk before the file is renamed in; FALSE on error.
BOOL FileFlush(HFILE file);
// FALSE when the system reports an error it held back until the close.
BOOL FileClose(HFILE file);

// Internal to the platform's file layer. The injected fault for a read or a write, taken,
// as the errno it stands for; 0 when none is pending.
int TakeInjectedFault(bool write);
// The file a path leads to after its symbolic links (the path itself when it is none).
CString FinalTarget(const CString& path);

// File access by path. Codecs that use libjpeg, libpng or stdio get a FILE*; the BMP
// routines use the handle calls, whose counts are 64-bit.
#pragma once

#include <cstdio>
#include <system_error>

#include "platform/Types.h"

// Open for reading, or create/truncate for writing; null on failure.
FILE* OpenFileForRead(const CString& path);
FILE* CreateFileForWrite(const CString& path);

// A file is written whole or not at all by writing it under PartialPathFor (a hidden name
// beside it, unique to the process) and then CommitPartial: renamed over the target, or
// removed when that fails. The error is empty on success.
CString PartialPathFor(const CString& target);
std::error_code CommitPartial(const CString& partial, const CString& target);

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

HFILE FileOpenRead(const CString& path);
HFILE FileCreate(const CString& path);
// Bytes transferred (short at end of file), or -1 on error.
int64_t FileRead(HFILE file, void* buffer, int64_t count);
int64_t FileWrite(HFILE file, const void* buffer, int64_t count);
// origin: SEEK_SET, SEEK_CUR or SEEK_END; the new position, or -1 on error.
int64_t FileSeek(HFILE file, int64_t offset, int origin);
// Size of the open file in bytes, or -1.
int64_t FileSize(HFILE file);
void FileClose(HFILE file);

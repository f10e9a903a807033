// The file calls both platforms share: stdio streams, and the name a file is written under
// before it is committed.
#include "platform/FileIO.h"

#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// Makes the partial name unique to the process.
unsigned long ProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

}  // namespace

FILE* OpenFileForRead(const CString& path) {
    return std::fopen(path.c_str(), "rb");
}

FILE* CreateFileForWrite(const CString& path) {
    return std::fopen(path.c_str(), "wb");
}

CString PartialPathFor(const CString& target) {
    const std::filesystem::path path(target);
    const std::string leaf =
        "." + path.filename().string() + ".partial-" + std::to_string(ProcessId());
    return (path.parent_path() / leaf).string();
}

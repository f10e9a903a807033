#include "platform/Memory.h"

#include <windows.h>

#include <new>

namespace {
constexpr size_t kMapFrom = 256 * 1024;
}  // namespace

CBlockPtr AllocateBlock(size_t bytes) {
    if (bytes == 0) return CBlockPtr(nullptr, CBlockFree{0});
    if (bytes < kMapFrom) return CBlockPtr(new (std::nothrow) uint8_t[bytes](), CBlockFree{bytes});
    void* mapped = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return CBlockPtr(static_cast<uint8_t*>(mapped), CBlockFree{mapped ? bytes : 0});
}

void CBlockFree::operator()(uint8_t* block) const {
    if (block == nullptr) return;
    if (bytes < kMapFrom) {
        delete[] block;
    } else {
        VirtualFree(block, 0, MEM_RELEASE);
    }
}

int64_t MemoryLimitBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status) || status.ullTotalPhys == 0) return 4096;
    return int64_t(status.ullTotalPhys);
}

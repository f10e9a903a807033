#include "platform/Memory.h"

#include <sys/mman.h>

#include <new>

namespace {
// Below this a heap's own reuse is cheaper than a mapping.
constexpr size_t kMapFrom = 256 * 1024;
}  // namespace

CBlockPtr AllocateBlock(size_t bytes) {
    if (bytes == 0) return CBlockPtr(nullptr, CBlockFree{0});
    if (bytes < kMapFrom) return CBlockPtr(new (std::nothrow) uint8_t[bytes](), CBlockFree{bytes});
    void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return CBlockPtr(nullptr, CBlockFree{0});
    return CBlockPtr(static_cast<uint8_t*>(mapped), CBlockFree{bytes});  // zeroed by the system
}

void CBlockFree::operator()(uint8_t* block) const {
    if (block == nullptr) return;
    if (bytes < kMapFrom) {
        delete[] block;
    } else {
        munmap(block, bytes);
    }
}

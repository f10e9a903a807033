// Pixel blocks: large ones come straight from the system and go back to it when freed, so
// the memory a frame cache lets go of leaves the process at once. A heap would keep freed
// large blocks for later, apart for each thread that freed them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct CBlockFree {
    size_t bytes = 0;
    void operator()(uint8_t* block) const;
};
using CBlockPtr = std::unique_ptr<uint8_t[], CBlockFree>;

// bytes zeroed bytes; null when memory runs out (or for 0 bytes).
CBlockPtr AllocateBlock(size_t bytes);

// The memory this process can count on: the machine's physical memory, or its control
// group's limit where one is set lower (Linux). At least one page.
int64_t MemoryLimitBytes();

#include "platform/Memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>

#include "platform/FileIO.h"

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

namespace {

// A limit file of a control group: a byte count, or "max" (version 2) or a huge number
// (version 1) for none. 0 when there is no such file or no limit in it.
int64_t CgroupLimit(const std::string& file) {
    CString text;
    if (ReadWholeFile(file, 4096, &text) != FileReadError::None) return 0;
    char* end = nullptr;
    const long long bytes = std::strtoll(text.c_str(), &end, 10);
    return end != text.c_str() && bytes > 0 ? int64_t(bytes) : 0;
}

// The lowest limit on the process's group and the groups above it, as far as they are
// visible (inside a container the group may be the root of what is mounted).
int64_t LowestCgroupLimit() {
    CString groups;
    if (ReadWholeFile("/proc/self/cgroup", 1 << 16, &groups) != FileReadError::None) return 0;
    int64_t lowest = 0;
    auto consider = [&](int64_t limit) {
        if (limit > 0 && (lowest == 0 || limit < lowest)) lowest = limit;
    };
    std::istringstream lines(groups);
    std::string line;
    while (std::getline(lines, line)) {
        // "hierarchy:controllers:path"; version 2 has the empty controller list.
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        std::string root, leaf;
        if (controllers.empty()) {
            root = "/sys/fs/cgroup";
            leaf = "memory.max";
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            root = "/sys/fs/cgroup/memory";
            leaf = "memory.limit_in_bytes";
        } else {
            continue;
        }
        for (;;) {
            consider(CgroupLimit(root + (path == "/" ? "" : path) + "/" + leaf));
            if (path.empty() || path == "/") break;
            path = path.substr(0, std::max<size_t>(path.rfind('/'), 1));
        }
    }
    return lowest;
}

}  // namespace

int64_t MemoryLimitBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    int64_t physical = pages > 0 && pageSize > 0 ? int64_t(pages) * pageSize : 0;
    const int64_t group = LowestCgroupLimit();
    if (group > 0 && (physical == 0 || group < physical)) physical = group;
    return std::max<int64_t>(physical, pageSize > 0 ? pageSize : 4096);
}

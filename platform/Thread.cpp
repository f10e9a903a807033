// What both platforms share of the thread services: the processor count a test may set.
#include "platform/Thread.h"

#include <atomic>

namespace {
std::atomic<int32_t> g_processorOverride{0};
}  // namespace

int32_t ProcessorCount() {
    const int32_t forced = g_processorOverride.load();
    return forced > 0 ? forced : SystemProcessorCount();
}

void OverrideProcessorCount(int32_t count) {
    g_processorOverride = count > 0 ? count : 0;
}

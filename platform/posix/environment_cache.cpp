#include "platform/posix/environment_cache.h"

#include <atomic>

namespace platform::posix {

namespace {
std::atomic<unsigned long> generation{0};
}  // namespace

void EnvironmentChanged() {
    ++generation;
}

unsigned long EnvironmentGeneration() {
    return generation.load(std::memory_order_relaxed);
}

}  // namespace platform::posix

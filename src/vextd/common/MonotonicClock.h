#pragma once

// The system-wide monotonic clock in nanoseconds: the time base of key records, so that a
// test or benchmark in another process can compare its own readings with them.

#include <cstdint>
#include <ctime>

namespace vext {

inline int64_t MonotonicNanos() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace vext

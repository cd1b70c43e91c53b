#pragma once

#include <cstdint>
#include <ctime>

namespace bench {

// CLOCK_MONOTONIC in nanoseconds: one clock for every process of the
// benchmark, so that a child's moment can be set against its parent's.
inline std::int64_t monotonicNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace bench

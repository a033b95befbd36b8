#pragma once
// Prints the stand-in's DOM calls per member, divided by what a benchmark
// counts (elements, items, nodes), so that every remaining read shows up
// with its own share.
#include <cstdio>

#include "harness/nativeobject/SnapshotNativeObject.h"

namespace harness {

inline void PrintCallsPerMember(SnapshotNativeObject& native, double divisor, const char* unit)
{
    if (divisor <= 0)
        return;
    double total = 0;
    for (const auto& [member, count] : native.CallsPerMember()) {
        total += count;
        std::printf("    %-36ls %10ld %10.3f per %s\n", member.c_str(), count, count / divisor, unit);
    }
    std::printf("    %-36s %10.0f %10.3f per %s\n", "all", total, total / divisor, unit);
}

} // namespace harness

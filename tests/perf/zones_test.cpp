// Zones split what happens between them: time and heap allocations go to the innermost zone open,
// and an OpenGL call is the device's only while frames are measured.
#include "perf/zones.h"

#include <gtest/gtest.h>

namespace perf = engine::perf;

namespace {

std::uint64_t allocations = 0;
std::uint64_t Allocations() {
    return allocations;
}

std::int64_t In(const perf::ZoneCounts& counts, perf::Zone zone) {
    return counts[static_cast<std::size_t>(zone)];
}

TEST(Zones, ChargeAllocationsToTheInnermostZoneOpen) {
    perf::StartZones();
    perf::CountAllocations(Allocations);
    allocations += 1;
    {
        perf::ScopedZone particles(perf::Zone::Particles);
        allocations += 2;
        {
            perf::ScopedZone device(perf::Zone::Device);
            allocations += 4;
        }
        allocations += 8;
    }
    {
        // Not counted at start-up: the call belongs to the zone it serves.
        perf::ScopedZone meshes(perf::Zone::Meshes);
        perf::DeviceZone call;
        allocations += 16;
    }
    perf::CountDeviceCalls(true);
    {
        perf::ScopedZone walk(perf::Zone::SceneWalk);
        perf::DeviceZone call;
        allocations += 32;
    }
    const perf::ZoneCounts counts = perf::TakeZoneAllocations();
    EXPECT_EQ(In(counts, perf::Zone::Other), 1);
    EXPECT_EQ(In(counts, perf::Zone::Particles), 10);
    EXPECT_EQ(In(counts, perf::Zone::Device), 4 + 32);
    EXPECT_EQ(In(counts, perf::Zone::Meshes), 16);
    EXPECT_EQ(In(counts, perf::Zone::SceneWalk), 0);
    EXPECT_EQ(perf::TakeZoneAllocations(), perf::ZoneCounts{});

    perf::StopZones();
    perf::CountAllocations(nullptr);
    {
        perf::ScopedZone off(perf::Zone::Queue);
        allocations += 64;
    }
    EXPECT_EQ(perf::TakeZoneAllocations(), perf::ZoneCounts{});
}

} // namespace

#include "perf/zones.h"

#include <chrono>

namespace engine::perf {

namespace detail {
bool zonesOn = false;
bool deviceZonesOn = false;
} // namespace detail

namespace {

// One thread draws; the zones belong to it.
Zone current = Zone::Other;
std::int64_t mark = 0;
ZoneTimes times{};
std::int64_t entries = 0;
std::uint64_t (*allocationCounter)() = nullptr;
std::uint64_t allocationMark = 0;
ZoneCounts allocations{};

void ChargeUpTo(std::int64_t now) {
    times[static_cast<std::size_t>(current)] += now - mark;
    mark = now;
    if (allocationCounter != nullptr) {
        const std::uint64_t count = allocationCounter();
        allocations[static_cast<std::size_t>(current)] += static_cast<std::int64_t>(count - allocationMark);
        allocationMark = count;
    }
}

} // namespace

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void detail::Enter(Zone zone, Zone& previous) {
    ChargeUpTo(Now());
    previous = current;
    current = zone;
    ++entries;
}

void detail::Leave(Zone previous) {
    ChargeUpTo(Now());
    current = previous;
}

void StartZones() {
    times = {};
    entries = 0;
    current = Zone::Other;
    mark = Now();
    detail::zonesOn = true;
}

void StopZones() {
    detail::zonesOn = false;
    detail::deviceZonesOn = false;
}

void CountDeviceCalls(bool on) {
    detail::deviceZonesOn = on && detail::zonesOn;
}

ZoneTimes TakeZoneTimes() {
    ChargeUpTo(Now());
    ZoneTimes taken = times;
    times = {};
    return taken;
}

double MeasureZoneCost() {
    constexpr int kRounds = 10000;
    const bool wasOn = detail::zonesOn;
    const ZoneTimes savedTimes = times;
    const std::int64_t savedEntries = entries;
    detail::zonesOn = true;
    const std::int64_t start = Now();
    for (int i = 0; i < kRounds; ++i)
        ScopedZone zone(Zone::Other);
    const std::int64_t took = Now() - start;
    detail::zonesOn = wasOn;
    times = savedTimes;
    entries = savedEntries;
    return static_cast<double>(took) / kRounds;
}

void CountAllocations(std::uint64_t (*counter)()) {
    allocationCounter = counter;
    allocationMark = counter != nullptr ? counter() : 0;
    allocations = {};
}

ZoneCounts TakeZoneAllocations() {
    ChargeUpTo(Now());
    const ZoneCounts taken = allocations;
    allocations = {};
    return taken;
}

std::int64_t TakeZoneEntries() {
    const std::int64_t taken = entries;
    entries = 0;
    return taken;
}

} // namespace engine::perf

// Where the time of a benchmark run goes. Code marks the span it runs in with a ScopedZone; time is
// charged to the innermost zone open, so nested zones split it rather than count it twice (the
// OpenGL calls an array modifier makes are the device's, not the modifier's). Switched off, which is
// always the case outside `quorvel --benchmark`, a zone costs the test of one flag.
#pragma once

#include <array>
#include <cstdint>

namespace engine::perf {

enum class Zone : std::uint8_t {
    // Whatever no zone claims: the kernel, the timer, the global curves, the timeline, window events.
    Other,
    // One frame.
    SceneWalk,
    Particles,
    ArrayModifier,
    Queue,
    Binding,
    Device,
    Wait,
    // Start-up.
    Window,
    SceneFiles,
    Meshes,
    Textures,
    Scripts,
    Effects,
    Music,
    Count
};
constexpr std::size_t kZoneCount = static_cast<std::size_t>(Zone::Count);

// Nanoseconds per zone.
using ZoneTimes = std::array<std::int64_t, kZoneCount>;
// Heap allocations per zone.
using ZoneCounts = std::array<std::int64_t, kZoneCount>;

namespace detail {
extern bool zonesOn;
extern bool deviceZonesOn;
void Enter(Zone zone, Zone& previous);
void Leave(Zone previous);
} // namespace detail

class ScopedZone {
public:
    explicit ScopedZone(Zone zone) {
        if (detail::zonesOn) {
            detail::Enter(zone, previous);
            entered = true;
        }
    }
    ~ScopedZone() {
        if (entered)
            detail::Leave(previous);
    }
    ScopedZone(const ScopedZone&) = delete;
    ScopedZone& operator=(const ScopedZone&) = delete;

private:
    Zone previous = Zone::Other;
    bool entered = false;
};

// One OpenGL call. Counted only while frames are measured: at start-up a call belongs to what it
// serves (compiling an effect, filling a mesh's buffers).
class DeviceZone {
public:
    DeviceZone() {
        if (detail::deviceZonesOn) {
            detail::Enter(Zone::Device, previous);
            entered = true;
        }
    }
    ~DeviceZone() {
        if (entered)
            detail::Leave(previous);
    }
    DeviceZone(const DeviceZone&) = delete;
    DeviceZone& operator=(const DeviceZone&) = delete;

private:
    Zone previous = Zone::Other;
    bool entered = false;
};

// Starts charging time (to Other until a zone opens); the totals start from zero.
void StartZones();
void StopZones();
void CountDeviceCalls(bool on);
// The time charged since the last call (or StartZones), up to now, and from zero again.
ZoneTimes TakeZoneTimes();
// Zones entered since the last call, and from zero again.
std::int64_t TakeZoneEntries();
// From now on each zone is charged with the heap allocations made while it is open, as the counter
// (the program's) tells them.
void CountAllocations(std::uint64_t (*counter)());
// The allocations charged since the last call, and from zero again; all zero without a counter.
ZoneCounts TakeZoneAllocations();
// What entering and leaving one zone costs, in nanoseconds, measured now; charges nothing.
double MeasureZoneCost();
// Nanoseconds on the clock the zones read.
std::int64_t Now();

} // namespace engine::perf

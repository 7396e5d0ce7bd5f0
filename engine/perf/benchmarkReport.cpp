#include "perf/benchmarkReport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <ostream>

namespace engine::perf {

namespace {

constexpr double kMillisecond = 1e6;
// Frames of a scene after which it is taken to run in its steady state: the first draws of a scene
// may still grow buffers and queues to their size.
constexpr std::size_t kSteadyFrom = 2;

// The zones a frame is split into, as the report names them.
struct FrameZone {
    Zone zone;
    const char* column;
    const char* key;
};
const FrameZone kFrameZones[] = {
    {Zone::SceneWalk, "walk", "sceneWalk"},
    {Zone::Particles, "part", "particles"},
    {Zone::ArrayModifier, "array", "arrayModifier"},
    {Zone::Queue, "queue", "queue"},
    {Zone::Binding, "bind", "binding"},
    {Zone::Device, "device", "device"},
    {Zone::Wait, "wait", "wait"},
    {Zone::Other, "other", "other"},
};
constexpr std::size_t kFrameZoneCount = std::size(kFrameZones);
// Where the device and the wait stand in that list.
constexpr std::size_t kDeviceColumn = 5;
constexpr std::size_t kWaitColumn = 6;

struct StartupZone {
    Zone zone;
    const char* name;
    const char* key;
};
const StartupZone kStartupZones[] = {
    {Zone::Window, "window and device", "window"},
    {Zone::SceneFiles, "scene files", "sceneFiles"},
    {Zone::Meshes, "meshes and buffers", "meshes"},
    {Zone::Textures, "textures", "textures"},
    {Zone::Scripts, "scripts", "scripts"},
    {Zone::Effects, "effect compilation", "effects"},
    {Zone::Music, "music", "music"},
    {Zone::Other, "other", "other"},
};

double Ms(double nanoseconds) {
    return nanoseconds / kMillisecond;
}

// The nearest-rank percentile of the values, in nanoseconds.
double Percentile(std::vector<std::int64_t> values, double share) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size())));
    return static_cast<double>(values[std::clamp<std::size_t>(rank, 1, values.size()) - 1]);
}

double Median(std::vector<std::int64_t> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 == 1
               ? static_cast<double>(values[half])
               : (static_cast<double>(values[half - 1]) + static_cast<double>(values[half])) / 2;
}

// What the report shows of a set of frames.
struct Summary {
    std::size_t frames = 0;
    std::vector<std::int64_t> timed;
    double total = 0.0;
    std::array<double, kFrameZoneCount> zones{};
    double entries = 0.0;
    double median = 0.0, p99 = 0.0;
    std::optional<double> rawMedian, rawP99, ratio;
    // The engine's allocations (all but the driver's, which it makes inside OpenGL calls); -1 where
    // nothing was counted.
    std::int64_t firstAllocations = -1, steadyAllocationsMost = -1, steadyAllocations = -1;
    std::int64_t steadyDriverAllocations = -1;
    std::size_t steadyFrames = 0;

    double Mean() const { return timed.empty() ? 0.0 : total / static_cast<double>(timed.size()); }
    double ZoneMean(std::size_t i) const {
        return timed.empty() ? 0.0 : zones[i] / static_cast<double>(timed.size());
    }
    // The engine's own work: everything but the OpenGL calls and the wait for the GPU.
    double CpuShare() const {
        return total <= 0.0 ? 0.0 : (total - zones[kDeviceColumn] - zones[kWaitColumn]) / total;
    }
};

void AddAllocations(Summary& s, const FrameSample& frame, std::size_t indexInScene) {
    const std::int64_t driver = frame.allocations[static_cast<std::size_t>(Zone::Device)];
    std::int64_t engine = -driver;
    for (std::int64_t count : frame.allocations)
        engine += count;
    if (indexInScene == 0)
        s.firstAllocations = std::max(s.firstAllocations, engine);
    if (indexInScene < kSteadyFrom)
        return;
    ++s.steadyFrames;
    s.steadyAllocationsMost = std::max(s.steadyAllocationsMost, engine);
    s.steadyAllocations = std::max<std::int64_t>(s.steadyAllocations, 0) + engine;
    s.steadyDriverAllocations = std::max<std::int64_t>(s.steadyDriverAllocations, 0) + driver;
}

void Add(Summary& s, const FrameSample& frame, std::size_t indexInScene) {
    ++s.frames;
    // The recording allocates, and slows its frame down.
    if (frame.recorded)
        return;
    if (frame.allocationsCounted)
        AddAllocations(s, frame, indexInScene);
    s.timed.push_back(frame.nanoseconds);
    s.total += static_cast<double>(frame.nanoseconds);
    s.entries += static_cast<double>(frame.zoneEntries);
    std::int64_t claimed = 0;
    for (std::size_t i = 0; i + 1 < kFrameZoneCount; ++i) {
        s.zones[i] += static_cast<double>(frame.zones[static_cast<std::size_t>(kFrameZones[i].zone)]);
        claimed += frame.zones[static_cast<std::size_t>(kFrameZones[i].zone)];
    }
    // Whatever the frame zones do not claim, start-up zones a frame happened to enter included.
    s.zones[kFrameZoneCount - 1] += static_cast<double>(frame.nanoseconds - claimed);
}

void Finish(Summary& s) {
    s.median = Median(s.timed);
    s.p99 = Percentile(s.timed, 0.99);
}

Summary Summarise(const SceneFigures& scene) {
    Summary s;
    for (std::size_t i = 0; i < scene.frames.size(); ++i)
        Add(s, scene.frames[i], i);
    Finish(s);
    if (!scene.replayFrames.empty()) {
        s.rawMedian = Median(scene.replayFrames);
        s.rawP99 = Percentile(scene.replayFrames, 0.99);
        if (*s.rawMedian > 0.0 && !s.timed.empty())
            s.ratio = s.median / *s.rawMedian;
    }
    return s;
}

// The whole run: every frame; its ratio weighs each scene's ratio of medians by the scene's frames.
Summary SummariseRun(const std::vector<SceneFigures>& scenes) {
    Summary s;
    double engine = 0.0, raw = 0.0;
    for (const SceneFigures& scene : scenes) {
        for (std::size_t i = 0; i < scene.frames.size(); ++i)
            Add(s, scene.frames[i], i);
        const Summary own = Summarise(scene);
        if (own.rawMedian) {
            engine += own.median * static_cast<double>(own.timed.size());
            raw += *own.rawMedian * static_cast<double>(own.timed.size());
        }
    }
    Finish(s);
    if (raw > 0.0)
        s.ratio = engine / raw;
    return s;
}

std::string Format(const char* format, auto... values) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

std::string Optional(const std::optional<double>& value, const char* format, double scale = 1.0,
                     const char* none = "-") {
    return value ? Format(format, *value / scale) : std::string(none);
}

std::string Allocations(std::int64_t value) {
    return value < 0 ? std::string("-") : std::to_string(value);
}

void PrintRow(std::ostream& out, const std::string& label, const Summary& s) {
    out << Format("%5s %6zu %7.2f %7.2f | %7s %7s %5s | %5.1f%% |", label.c_str(), s.frames, Ms(s.median),
                  Ms(s.p99), Optional(s.rawMedian, "%.2f", kMillisecond).c_str(),
                  Optional(s.rawP99, "%.2f", kMillisecond).c_str(), Optional(s.ratio, "%.2f").c_str(),
                  100.0 * s.CpuShare());
    for (std::size_t i = 0; i < kFrameZoneCount; ++i)
        out << Format(" %6.2f", Ms(s.ZoneMean(i)));
    out << Format(" | %5s %6s\n", Allocations(s.firstAllocations).c_str(),
                  Allocations(s.steadyAllocationsMost).c_str());
}

double StartupRest(const StartupFigures& s) {
    return static_cast<double>(s.total - s.firstFrame);
}

void PrintStartup(std::ostream& out, const StartupFigures& s) {
    out << Format("\nStart-up: %.1f ms from the process's start to the end of the first frame on the GPU\n",
                  Ms(static_cast<double>(s.total)));
    out << Format("  program loading %.1f", Ms(static_cast<double>(s.programLoading)));
    for (const StartupZone& zone : kStartupZones)
        out << Format(", %s %.1f", zone.name,
                      Ms(static_cast<double>(s.zones[static_cast<std::size_t>(zone.zone)])));
    out << Format(", first frame %.1f ms\n", Ms(static_cast<double>(s.firstFrame)));
    const double floor = static_cast<double>(s.rawCompile + s.rawRead);
    out << Format("  floor: compiling and linking the same %d programs with plain OpenGL %.1f ms", s.programs,
                  Ms(static_cast<double>(s.rawCompile)));
    if (s.programFailures > 0)
        out << Format(" (%d did not link)", s.programFailures);
    out << Format(" + reading the same %d files (%.2f MB) %.1f ms = %.1f ms\n", s.files,
                  static_cast<double>(s.bytes) / 1e6, Ms(static_cast<double>(s.rawRead)), Ms(floor));
    if (floor > 0.0)
        out << Format("  start-up / floor: %.2f, up to the first frame %.2f\n",
                      static_cast<double>(s.total) / floor, StartupRest(s) / floor);
}

void JsonSummary(std::ostream& out, const Summary& s) {
    out << Format(
        "\"frames\": %zu, \"timedFrames\": %zu, \"medianMs\": %.4f, \"p99Ms\": %.4f, \"meanMs\": %.4f, ",
        s.frames, s.timed.size(), Ms(s.median), Ms(s.p99), Ms(s.Mean()));
    out << "\"rawMedianMs\": " << Optional(s.rawMedian, "%.4f", kMillisecond, "null")
        << ", \"rawP99Ms\": " << Optional(s.rawP99, "%.4f", kMillisecond, "null")
        << ", \"ratio\": " << Optional(s.ratio, "%.4f", 1.0, "null")
        << Format(", \"cpuShare\": %.4f, \"zonesMs\": {", s.CpuShare());
    for (std::size_t i = 0; i < kFrameZoneCount; ++i)
        out << Format("%s\"%s\": %.4f", i == 0 ? "" : ", ", kFrameZones[i].key, Ms(s.ZoneMean(i)));
    out << Format("}, \"zonesEnteredPerFrame\": %.1f", s.timed.empty() ? 0.0 : s.entries / s.timed.size());
    if (s.firstAllocations >= 0 || s.steadyAllocationsMost >= 0)
        out << ", \"allocations\": {\"firstFrame\": " << s.firstAllocations
            << ", \"steadyFrames\": " << s.steadyFrames
            << ", \"steadyFrameMost\": " << s.steadyAllocationsMost
            << ", \"steadyTotal\": " << s.steadyAllocations
            << ", \"driverSteadyTotal\": " << s.steadyDriverAllocations << "}";
}

std::string Listed(const std::vector<std::size_t>& values, const char* separator = "/") {
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i == 0 ? "" : separator) + std::to_string(values[i]);
    return text;
}

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '"' || c == '\\')
            escaped += '\\';
        if (static_cast<unsigned char>(c) >= 0x20)
            escaped += c;
    }
    return escaped;
}

} // namespace

void PrintReport(const BenchmarkFigures& figures, std::ostream& out) {
    out << Format("Benchmark at %dx%d, %d frames per second, on %s (%s, Mesa's shader cache %s)\n",
                  figures.width, figures.height, figures.framesPerSecond, figures.renderer.c_str(),
                  figures.videoDriver.c_str(), figures.driverShaderCache ? "on" : "off");
    out << "Milliseconds per frame, each up to the end of its drawing on the GPU. raw: the scene's recorded "
           "frame replayed with plain OpenGL;\nratio: median / raw median; cpu: the engine's own share of "
           "the "
           "frame (all but device calls and the wait); then where the time goes, on average, and heap "
           "allocations by the engine (the driver's own apart) in the first frame and at most in any frame "
           "from the third on.\n\n";
    out << "scene frames  median     p99 |     raw raw p99 ratio |   cpu  |";
    for (const FrameZone& zone : kFrameZones)
        out << Format(" %6s", zone.column);
    out << " | alloc steady\n";
    for (const SceneFigures& scene : figures.scenes)
        PrintRow(out, std::to_string(scene.number), Summarise(scene));
    const Summary run = SummariseRun(figures.scenes);
    PrintRow(out, "all", run);

    out << "\nReplays:";
    for (const SceneFigures& scene : figures.scenes) {
        if (scene.replayFrames.empty())
            continue;
        out << Format(" scene %d %zu frames of %s calls, %s draws", scene.number, scene.replayCalls.size(),
                      Listed(scene.replayCalls).c_str(), Listed(scene.replayDraws).c_str());
        if (scene.replayPicture)
            out << Format(" (picture: largest difference %d, %.2f%% of pixels apart)",
                          scene.replayPicture->largest, 100.0 * scene.replayPicture->differingShare);
        out << ";";
    }
    out << "\n";
    PrintStartup(out, figures.startup);
    const double entries = run.timed.empty() ? 0.0 : run.entries / static_cast<double>(run.timed.size());
    out << Format("\nMeasuring: %.0f zones entered per frame at %.0f ns each, about %.3f ms of each frame.\n",
                  entries, figures.zoneCostNanoseconds, Ms(entries * figures.zoneCostNanoseconds));
}

bool WriteJson(const BenchmarkFigures& figures, const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out << "{\n";
    out << Format("  \"width\": %d, \"height\": %d, \"framesPerSecond\": %d,\n", figures.width,
                  figures.height, figures.framesPerSecond);
    out << "  \"renderer\": \"" << Escaped(figures.renderer) << "\", \"videoDriver\": \""
        << Escaped(figures.videoDriver)
        << "\", \"driverShaderCache\": " << (figures.driverShaderCache ? "true" : "false") << ",\n";
    out << Format("  \"zoneCostNs\": %.1f,\n", figures.zoneCostNanoseconds);
    const StartupFigures& s = figures.startup;
    out << Format("  \"startup\": {\"totalMs\": %.3f, \"programLoadingMs\": %.3f, \"firstFrameMs\": %.3f, ",
                  Ms(static_cast<double>(s.total)), Ms(static_cast<double>(s.programLoading)),
                  Ms(static_cast<double>(s.firstFrame)));
    for (const StartupZone& zone : kStartupZones)
        out << Format("\"%sMs\": %.3f, ", zone.key,
                      Ms(static_cast<double>(s.zones[static_cast<std::size_t>(zone.zone)])));
    out << Format("\"rawCompileMs\": %.3f, \"programs\": %d, \"programFailures\": %d, \"rawReadMs\": %.3f, "
                  "\"files\": %d, \"bytes\": %llu},\n",
                  Ms(static_cast<double>(s.rawCompile)), s.programs, s.programFailures,
                  Ms(static_cast<double>(s.rawRead)), s.files, static_cast<unsigned long long>(s.bytes));
    out << "  \"scenes\": [\n";
    for (std::size_t i = 0; i < figures.scenes.size(); ++i) {
        const SceneFigures& scene = figures.scenes[i];
        out << Format("    {\"scene\": %d, ", scene.number);
        JsonSummary(out, Summarise(scene));
        out << Format(", \"replay\": {\"recorded\": %zu, \"frames\": %zu, \"calls\": [%s], \"draws\": [%s]",
                      scene.replayCalls.size(), scene.replayFrames.size(),
                      Listed(scene.replayCalls, ", ").c_str(), Listed(scene.replayDraws, ", ").c_str());
        if (scene.replayPicture)
            out << Format(", \"pictureLargestDifference\": %d, \"pictureDifferingShare\": %.6f",
                          scene.replayPicture->largest, scene.replayPicture->differingShare);
        out << "}}" << (i + 1 < figures.scenes.size() ? "," : "") << "\n";
    }
    out << "  ],\n  \"run\": {";
    JsonSummary(out, SummariseRun(figures.scenes));
    out << "}\n}\n";
    return static_cast<bool>(out);
}

} // namespace engine::perf

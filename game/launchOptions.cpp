#include "launchOptions.h"

#include <boost/program_options.hpp>

#include <cmath>
#include <filesystem>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace po = boost::program_options;

namespace quorvel {

namespace {

constexpr int kLargestSide = 16384;
constexpr int kSceneCount = 9;
constexpr int kMostFramesPerSecond = 1000;
constexpr int kCaptureWidth = 1280;
constexpr int kCaptureHeight = 720;
constexpr int kBenchmarkWidth = 1024;
constexpr int kBenchmarkHeight = 768;
// The demo's own time grid: every animation key falls on a frame.
constexpr int kBenchmarkFramesPerSecond = 25;

// Thrown for a value that parses but makes no sense; the text says which option and why.
struct BadOption {
    std::string text;
};

po::options_description Describe() {
    po::options_description description("Options");
    // clang-format off
    description.add_options()
        ("help", "print this help and exit")
        ("version", "print the version and exit")
        ("no-dialog", "skip the settings dialog: use the defaults and the options given")
        ("windowed", "play in a window")
        ("fullscreen", "play full screen")
        ("size", po::value<std::string>()->value_name("WxH"), "window or screen size, e.g. 1280x720")
        ("refresh", po::value<int>()->value_name("HZ"), "full-screen refresh rate")
        ("vsync", "wait for the vertical blank")
        ("no-vsync", "present at once")
        ("aa", po::value<int>()->value_name("0|2|4"), "multisample antialiasing")
        ("16bit", "16-bit colour")
        ("scene", po::value<int>()->value_name("N"), "start at scene N (1-9), with the music at its time")
        ("loop", "start again after the last scene instead of quitting")
        ("watch", po::value<std::string>()->value_name("CONTENT_DIR"),
         "live editing: rebuild data/ from CONTENT_DIR whenever a file there is saved and show the change "
         "in the running demo, with the editor's keys (Space pause, Left/Right a beat, Shift a bar, Ctrl a "
         "row, PageUp/PageDown/1-9/Home scenes, L loop, -/+ speed, Tab overlay)")
        ("capture", po::value<std::string>()->value_name("OUT"),
         "render the demo offscreen, frame by frame, into OUT: a .mp4 or .mkv video with its music, or a "
         "folder of numbered PNG pictures and audio.wav")
        ("benchmark", "play the demo on a clock of whole frames with no vertical sync and no sound, offscreen "
         "without a display, and print per scene where each frame's time goes against the same frames "
         "drawn with plain OpenGL, then the start-up")
        ("json", po::value<std::string>()->value_name("FILE"), "write the benchmark's figures to FILE as JSON")
        ("fps", po::value<int>()->value_name("N"),
         "frames per second of the capture (default 60) or the benchmark (default 25)")
        ("to", po::value<double>()->value_name("SECONDS"), "end the capture at that demo time")
        ("from-frame", po::value<std::int64_t>()->value_name("N"),
         "capture from frame N of the whole capture on (frame N shows N/fps s), exactly as the whole "
         "capture has it, the frames before it that the picture needs drawn and not written")
        ("join", po::value<std::string>()->value_name("OUT"),
         "join video parts captured with --from-frame, given after the options in any order, into OUT (.mp4 "
         "or .mkv) without encoding the pictures again, with the music of the whole range")
        ("frame-count", "print how many frames a whole capture at --fps has, and exit")
        ("serial-capture", "read back, convert and write each frame before the next is drawn (slower, "
         "less memory)")
        ("frames", po::value<std::int64_t>()->value_name("N"),
         "end the capture after N frames; measure N frames of each scene in the benchmark")
        ("av-report", "print how far the music and the picture's clock lie apart at each scene switch")
        ("data", po::value<std::string>()->value_name("DIR"),
         "play the data folder DIR (named data) instead of data/ beside the program or, installed, "
         "../share/quorvel/data");
    // clang-format on
    return description;
}

void PrintUsage(std::ostream& stream, const po::options_description& description) {
    stream << "Usage: quorvel [options]\n"
           << "Plays the demo: nine scenes in step with the music. Escape ends it.\n\n"
           << description;
}

void Conflicting(const po::variables_map& values, const char* first, const char* second) {
    if (values.count(first) != 0 && values.count(second) != 0)
        throw BadOption{std::string("--") + first + " and --" + second + " cannot be used together"};
}

void ReadSize(const std::string& text, LaunchOptions& options) {
    static const std::regex pattern("([0-9]{1,5})x([0-9]{1,5})");
    std::smatch match;
    if (!std::regex_match(text, match, pattern))
        throw BadOption{"--size: expected WIDTHxHEIGHT such as 1280x720, got '" + text + "'"};
    const int width = std::stoi(match[1].str());
    const int height = std::stoi(match[2].str());
    if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide)
        throw BadOption{"--size: each side must be between 1 and " + std::to_string(kLargestSide) +
                        ", got '" + text + "'"};
    options.width = width;
    options.height = height;
}

void Needs(const po::variables_map& values, const char* option, const char* needed) {
    if (values.count(option) != 0 && values.count(needed) == 0)
        throw BadOption{std::string("--") + option + " needs --" + needed};
}

void NeedsEither(const po::variables_map& values, const char* option, const char* first, const char* second) {
    if (values.count(option) != 0 && values.count(first) == 0 && values.count(second) == 0)
        throw BadOption{std::string("--") + option + " needs --" + first + " or --" + second};
}

void ReadFramesPerSecond(const po::variables_map& values, LaunchOptions& options) {
    if (values.count("fps") == 0)
        return;
    const int fps = values["fps"].as<int>();
    if (fps < 1 || fps > kMostFramesPerSecond)
        throw BadOption{"--fps: expected 1 to " + std::to_string(kMostFramesPerSecond) +
                        " frames per second, got " + std::to_string(fps)};
    options.framesPerSecond = fps;
}

void ReadFrameLimit(const po::variables_map& values, LaunchOptions& options) {
    if (values.count("frames") == 0)
        return;
    const std::int64_t frames = values["frames"].as<std::int64_t>();
    if (frames < 1)
        throw BadOption{"--frames: expected at least 1 frame, got " + std::to_string(frames)};
    options.frameLimit = frames;
}

// Names ending in .mp4 or .mkv are videos; anything else a folder, which a name that looks like some
// other kind of file is unlikely to be meant as.
bool HasVideoExtension(const std::string& output) {
    std::string extension = std::filesystem::path(output).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".mp4" || extension == ".mkv";
}

bool IsVideoName(const std::string& output) {
    if (HasVideoExtension(output))
        return true;
    if (std::filesystem::path(output).has_extension() && !std::filesystem::is_directory(output))
        throw BadOption{"--capture: expected a name ending in .mp4 or .mkv, or a folder, got '" + output +
                        "'"};
    return false;
}

void ReadCapture(const po::variables_map& values, LaunchOptions& options) {
    Needs(values, "to", "capture");
    Needs(values, "serial-capture", "capture");
    Needs(values, "from-frame", "capture");
    for (const char* option : {"fps", "frames"})
        NeedsEither(values, option, "capture", "benchmark");
    if (values.count("capture") == 0)
        return;
    // A capture runs offscreen at its own pace, so what only a screen or a listener has makes no sense.
    for (const char* option : {"fullscreen", "refresh", "vsync", "no-vsync", "av-report"})
        Conflicting(values, "capture", option);
    options.captureOutput = values["capture"].as<std::string>();
    if (options.captureOutput->empty())
        throw BadOption{"--capture: expected a file or folder name"};
    ReadFramesPerSecond(values, options);
    ReadFrameLimit(values, options);
    if (values.count("to") != 0) {
        const double seconds = values["to"].as<double>();
        if (!std::isfinite(seconds) || seconds < 0.0)
            throw BadOption{"--to: expected a demo time of 0 seconds or more"};
        options.endSeconds = seconds;
    }
    options.serialCapture = values.count("serial-capture") != 0;
    if (values.count("from-frame") != 0) {
        const std::int64_t frame = values["from-frame"].as<std::int64_t>();
        if (frame < 1)
            throw BadOption{"--from-frame: expected a frame number of 1 or more, got " +
                            std::to_string(frame)};
        // A range is placed by its frame alone; a scene or a loop would place it twice.
        for (const char* option : {"scene", "loop"})
            Conflicting(values, "from-frame", option);
        options.firstFrame = frame;
    }
    if (options.loop && !options.frameLimit && !options.endSeconds)
        throw BadOption{"--capture with --loop never ends: give --to or --frames"};
    const int width = options.width.value_or(kCaptureWidth);
    const int height = options.height.value_or(kCaptureHeight);
    if (IsVideoName(*options.captureOutput) && (width % 2 != 0 || height % 2 != 0))
        throw BadOption{"--size: a video needs an even width and height, got " + std::to_string(width) + "x" +
                        std::to_string(height)};
    options.showDialog = false;
}

void ReadBenchmark(const po::variables_map& values, LaunchOptions& options) {
    Needs(values, "json", "benchmark");
    if (values.count("benchmark") == 0)
        return;
    // A benchmark measures the frames as drawn, all of them, at its own pace and size.
    for (const char* option : {"capture", "fullscreen", "refresh", "vsync", "loop", "av-report", "watch"})
        Conflicting(values, "benchmark", option);
    options.benchmark = true;
    options.showDialog = false;
    options.singleScene = values.count("scene") != 0;
    options.framesPerSecond = kBenchmarkFramesPerSecond;
    ReadFramesPerSecond(values, options);
    ReadFrameLimit(values, options);
    if (values.count("json") != 0) {
        options.jsonPath = values["json"].as<std::string>();
        if (options.jsonPath->empty())
            throw BadOption{"--json: expected a file name"};
    }
}

// Joining and counting play nothing, so only the data folder and (for counting) --fps go with them.
void ReadJoinAndCount(const po::variables_map& values, LaunchOptions& options) {
    for (const char* option : {"join", "frame-count"}) {
        if (values.count(option) == 0)
            continue;
        for (const po::variables_map::value_type& given : values)
            if (given.first != option && given.first != "data" && given.first != "stray" &&
                !(given.first == "fps" && std::string(option) == "frame-count") && !given.second.defaulted())
                throw BadOption{"--" + given.first + " cannot be used with --" + option};
    }
    options.printFrameCount = values.count("frame-count") != 0;
    if (options.printFrameCount) {
        if (values.count("stray") != 0)
            throw BadOption{"unexpected argument '" + values["stray"].as<std::vector<std::string>>().front() +
                            "'"};
        Conflicting(values, "frame-count", "join");
        options.showDialog = false;
        ReadFramesPerSecond(values, options);
    }
    if (values.count("join") == 0)
        return;
    options.joinOutput = values["join"].as<std::string>();
    if (!HasVideoExtension(*options.joinOutput))
        throw BadOption{"--join: expected a name ending in .mp4 or .mkv, got '" + *options.joinOutput + "'"};
    if (values.count("stray") == 0)
        throw BadOption{"--join needs the parts to join after the options"};
    options.joinParts = values["stray"].as<std::vector<std::string>>();
    options.showDialog = false;
}

void ReadValues(const po::variables_map& values, LaunchOptions& options) {
    if (values.count("join") != 0 || values.count("frame-count") != 0) {
        ReadJoinAndCount(values, options);
        return;
    }
    if (values.count("stray") != 0)
        throw BadOption{"unexpected argument '" + values["stray"].as<std::vector<std::string>>().front() +
                        "'"};
    Conflicting(values, "windowed", "fullscreen");
    Conflicting(values, "vsync", "no-vsync");
    options.showDialog = values.count("no-dialog") == 0;
    if (values.count("windowed") != 0)
        options.fullscreen = false;
    if (values.count("fullscreen") != 0)
        options.fullscreen = true;
    if (values.count("size") != 0)
        ReadSize(values["size"].as<std::string>(), options);
    if (values.count("refresh") != 0) {
        const int hz = values["refresh"].as<int>();
        if (hz < 1 || hz > 1000)
            throw BadOption{"--refresh: expected a rate between 1 and 1000 Hz, got " + std::to_string(hz)};
        options.refreshRate = hz;
    }
    if (values.count("vsync") != 0)
        options.vsync = true;
    if (values.count("no-vsync") != 0)
        options.vsync = false;
    if (values.count("aa") != 0) {
        const int samples = values["aa"].as<int>();
        if (samples != 0 && samples != 2 && samples != 4)
            throw BadOption{"--aa: expected 0, 2 or 4 samples, got " + std::to_string(samples)};
        options.antialiasing = samples;
    }
    options.sixteenBit = values.count("16bit") != 0;
    if (values.count("scene") != 0) {
        const int scene = values["scene"].as<int>();
        if (scene < 1 || scene > kSceneCount)
            throw BadOption{"--scene: expected a scene from 1 to " + std::to_string(kSceneCount) + ", got " +
                            std::to_string(scene)};
        options.firstScene = scene;
    }
    options.loop = values.count("loop") != 0;
    if (values.count("watch") != 0) {
        // A capture plays a fixed demo frame by frame; there is nobody at the screen editing it.
        Conflicting(values, "watch", "capture");
        options.watchFolder = values["watch"].as<std::string>();
        if (options.watchFolder->empty())
            throw BadOption{"--watch: expected the content folder"};
    }
    options.avReport = values.count("av-report") != 0;
    if (values.count("data") != 0) {
        options.dataFolder = values["data"].as<std::string>();
        if (options.dataFolder->empty())
            throw BadOption{"--data: expected the data folder"};
    }
    ReadCapture(values, options);
    ReadBenchmark(values, options);
}

} // namespace

LaunchAction ParseLaunchOptions(int argc, const char* const argv[], LaunchOptions& options, std::ostream& out,
                                std::ostream& err) {
    const po::options_description description = Describe();
    try {
        po::variables_map values;
        // Words that are not options are collected so that the mistake can name them.
        po::options_description all;
        all.add(description).add_options()("stray", po::value<std::vector<std::string>>());
        po::positional_options_description stray;
        stray.add("stray", -1);
        po::store(po::command_line_parser(argc, argv).options(all).positional(stray).run(), values);
        po::notify(values);
        if (values.count("help") != 0) {
            PrintUsage(out, description);
            return LaunchAction::ExitSuccess;
        }
        if (values.count("version") != 0) {
            out << "quorvel " << QUORVEL_VERSION << "\n";
            return LaunchAction::ExitSuccess;
        }
        ReadValues(values, options);
    } catch (const po::error& error) {
        err << "quorvel: " << error.what() << "\n";
        PrintUsage(err, description);
        return LaunchAction::ExitUsageError;
    } catch (const BadOption& bad) {
        err << "quorvel: " << bad.text << "\n";
        PrintUsage(err, description);
        return LaunchAction::ExitUsageError;
    }
    return LaunchAction::Run;
}

void ApplyDisplayOptions(const LaunchOptions& options, engine::WindowSettings& settings) {
    constexpr std::int32_t kFormat16Bit = 23;
    constexpr std::uint32_t kPresentImmediately = 0x80000000u;
    constexpr std::uint32_t kPresentEverySecondBlank = 2;
    if (options.fullscreen)
        settings.fullscreen = *options.fullscreen;
    if (options.width) {
        settings.width = *options.width;
        settings.height = *options.height;
    }
    if (options.refreshRate)
        settings.refreshRate = *options.refreshRate;
    if (options.vsync)
        settings.presentationInterval = *options.vsync ? kPresentEverySecondBlank : kPresentImmediately;
    if (options.antialiasing)
        settings.multiSampleType = *options.antialiasing;
    if (options.sixteenBit)
        settings.backBufferFormat = kFormat16Bit;
}

engine::CaptureSettings CaptureSettingsOf(const LaunchOptions& options) {
    engine::CaptureSettings capture;
    capture.output = options.captureOutput.value_or("");
    capture.framesPerSecond = options.framesPerSecond;
    capture.width = options.width.value_or(kCaptureWidth);
    capture.height = options.height.value_or(kCaptureHeight);
    capture.frameLimit = options.frameLimit;
    capture.endSeconds = options.endSeconds;
    capture.pipelined = !options.serialCapture;
    capture.firstFrame = options.firstFrame;
    return capture;
}

engine::BenchmarkSettings BenchmarkSettingsOf(const LaunchOptions& options) {
    engine::BenchmarkSettings benchmark;
    benchmark.width = options.width.value_or(kBenchmarkWidth);
    benchmark.height = options.height.value_or(kBenchmarkHeight);
    benchmark.framesPerSecond = options.framesPerSecond;
    benchmark.framesPerScene = options.frameLimit;
    benchmark.jsonPath = options.jsonPath.value_or("");
    return benchmark;
}

} // namespace quorvel

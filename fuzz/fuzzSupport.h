// Shared by the fuzz targets: a check that turns a broken promise of a reader into a crash libFuzzer
// reports, and a scratch folder for readers that only take file names.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace quorvel::fuzz {

// A reader accepted the input but broke what its callers rely on.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

// A folder of this process's own, made once, in memory where the machine has /dev/shm. The engine's
// log goes nowhere as long as the working folder has no data/ (scripts/fuzz.sh runs each target in
// an empty one).
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/quorvel-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// Writes the input to a file of that name in the scratch folder and returns its path.
inline std::string WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = ScratchFolder() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path.string();
}

// Times a curve is sampled at: frame by frame, far jumps both ways, and the edges of a float.
inline constexpr float kSampleTimes[] = {0.0f, 1.0f,   1.5f, 12.5f, 25.0f, 24.0f,  -3.0f, 100.0f,
                                         1e4f, 3.3e5f, 1e9f, -1e9f, 3e38f, -3e38f, 7.25f, 1e-30f};

} // namespace quorvel::fuzz

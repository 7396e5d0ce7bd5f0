// A WAV file of 16-bit stereo samples written as they come: the header's sizes are filled in when the
// file is closed. Float samples are rounded to 16 bits here, the same way on every run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace engine::capture {

class WavWriter {
public:
    // Throws Exception when the file cannot be created.
    WavWriter(const std::filesystem::path& path, int sampleRate);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Interleaved left/right samples in [-1, 1]; louder ones are clipped.
    void Write(const std::vector<float>& interleaved);
    // Completes the header and closes the file; throws Exception when the bytes did not all reach it.
    void Close();

private:
    void Put(const void* bytes, std::size_t size);

    std::filesystem::path path;
    int sampleRate;
    std::FILE* file = nullptr;
    std::uint64_t dataBytes = 0;
    std::vector<std::int16_t> converted;
};

} // namespace engine::capture

#include "capture/wavWriter.h"

#include "core/logging.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace engine::capture {

namespace {

constexpr int kChannels = 2;
constexpr int kBytesPerSample = 2;
constexpr std::uint32_t kHeaderBytes = 44;

void PutLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The RIFF header of a PCM file holding dataBytes of samples.
std::vector<std::uint8_t> Header(int sampleRate, std::uint32_t dataBytes) {
    std::vector<std::uint8_t> header(kHeaderBytes, 0);
    std::memcpy(header.data(), "RIFF", 4);
    PutLittleEndian(&header[4], kHeaderBytes - 8 + dataBytes, 4);
    std::memcpy(&header[8], "WAVEfmt ", 8);
    PutLittleEndian(&header[16], 16, 4);
    PutLittleEndian(&header[20], 1, 2); // integer PCM
    PutLittleEndian(&header[22], kChannels, 2);
    PutLittleEndian(&header[24], static_cast<std::uint32_t>(sampleRate), 4);
    PutLittleEndian(&header[28], static_cast<std::uint32_t>(sampleRate * kChannels * kBytesPerSample), 4);
    PutLittleEndian(&header[32], kChannels * kBytesPerSample, 2);
    PutLittleEndian(&header[34], 8 * kBytesPerSample, 2);
    std::memcpy(&header[36], "data", 4);
    PutLittleEndian(&header[40], dataBytes, 4);
    return header;
}

[[noreturn]] void Fail(const std::filesystem::path& path, int error) {
    LOG_ERROR("Cannot write the sound to '" + path.string() + "': " + std::strerror(error));
}

} // namespace

WavWriter::WavWriter(const std::filesystem::path& path, int sampleRate) : path(path), sampleRate(sampleRate) {
    file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        Fail(path, errno);
    const std::vector<std::uint8_t> header = Header(sampleRate, 0);
    Put(header.data(), header.size());
}

WavWriter::~WavWriter() {
    if (file != nullptr)
        std::fclose(file);
}

void WavWriter::Write(const std::vector<float>& interleaved) {
    converted.resize(interleaved.size());
    std::transform(interleaved.begin(), interleaved.end(), converted.begin(), [](float sample) {
        return static_cast<std::int16_t>(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
    });
    // Written as the machine holds them: little-endian, as WAV wants, on every machine we build for.
    Put(converted.data(), converted.size() * sizeof(std::int16_t));
    dataBytes += converted.size() * sizeof(std::int16_t);
}

void WavWriter::Close() {
    // A RIFF file cannot say more than 4 GiB; past that the sizes saturate, as other writers do.
    const auto limit = std::numeric_limits<std::uint32_t>::max() - kHeaderBytes;
    const auto size = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataBytes, limit));
    const std::vector<std::uint8_t> header = Header(sampleRate, size);
    if (std::fseek(file, 0, SEEK_SET) != 0)
        Fail(path, errno);
    Put(header.data(), header.size());
    std::FILE* closing = file;
    file = nullptr;
    if (std::fclose(closing) != 0)
        Fail(path, errno);
}

void WavWriter::Put(const void* bytes, std::size_t size) {
    if (std::fwrite(bytes, 1, size, file) != size)
        Fail(path, errno);
}

} // namespace engine::capture

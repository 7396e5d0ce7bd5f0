// Little-endian binary output into a byte buffer, the base of every format writer. Values are written
// with exact widths so that a fixture holds the bytes the engine's readers expect.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::formats {

class BinaryWriter {
public:
    void U8(std::uint8_t value);
    void U16(std::uint16_t value);
    void I32(std::int32_t value);
    void U32(std::uint32_t value);
    void F32(float value);
    // The characters only, no length and no terminator.
    void Chars(const std::string& text);
    void Bytes(const void* data, std::size_t size);

    const std::vector<std::uint8_t>& Data() const { return bytes; }
    // Writes the buffer to a file, creating its folder; throws std::runtime_error on failure.
    void Save(const std::filesystem::path& path) const;

private:
    std::vector<std::uint8_t> bytes;
};

} // namespace quorvel::formats

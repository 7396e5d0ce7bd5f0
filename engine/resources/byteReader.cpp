#include "resources/byteReader.h"

#include "core/logging.h"

#include <bit>
#include <filesystem>
#include <fstream>

namespace engine::core {

bool LoadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    // Only a regular file has a size to trust: a folder or a device is "not found" like a missing file.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    std::ifstream in(path, std::ios::binary);
    if (error || !in)
        return false;
    bytes.resize(size);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    return static_cast<std::uintmax_t>(in.gcount()) == size;
}

float DecodeFloat(const std::uint8_t* bytes) {
    return std::bit_cast<float>(static_cast<std::uint32_t>(DecodeInt(bytes)));
}

std::int32_t DecodeInt(const std::uint8_t* bytes) {
    const std::uint32_t value =
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return static_cast<std::int32_t>(value);
}

ByteReader::ByteReader(std::span<const std::uint8_t> bytes, std::string fileName)
    : bytes(bytes), fileName(std::move(fileName)) {}

std::int32_t ByteReader::ReadInt(const char* field) {
    return DecodeInt(Take(4, field));
}

float ByteReader::ReadFloat(const char* field) {
    return DecodeFloat(Take(4, field));
}

std::string ByteReader::ReadString(const char* field) {
    const std::int32_t length = ReadInt(field);
    if (length < 0)
        Fail(Describe(field) + " has a negative length (" + std::to_string(length) + ")");
    const auto* text = reinterpret_cast<const char*>(Take(static_cast<std::size_t>(length), field));
    return std::string(text, static_cast<std::size_t>(length));
}

const std::uint8_t* ByteReader::Take(std::size_t size, const char* field) {
    if (size > Left())
        Fail("file ends inside " + Describe(field) + " (" + std::to_string(size) + " bytes needed at byte " +
             std::to_string(offset) + ", " + std::to_string(Left()) + " left)");
    const std::uint8_t* start = bytes.data() + offset;
    offset += size;
    return start;
}

std::size_t ByteReader::CheckCount(std::int32_t count, std::size_t minRecordSize, const char* field) {
    if (count < 0)
        Fail(Describe(field) + " is negative (" + std::to_string(count) + ")");
    const auto checked = static_cast<std::size_t>(count);
    if (checked * minRecordSize > Left())
        Fail(Describe(field) + " is " + std::to_string(count) + ", more than the file holds (" +
             std::to_string(Left()) + " bytes left at byte " + std::to_string(offset) + ")");
    return checked;
}

void ByteReader::Fail(const std::string& reason) const {
    LOG_ERROR(fileName + ": " + reason);
}

std::string ByteReader::Describe(const char* field) const {
    return context.empty() ? std::string(field) : std::string(field) + " of " + context;
}

} // namespace engine::core

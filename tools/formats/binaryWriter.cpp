#include "formats/binaryWriter.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace quorvel::formats {

namespace {
template <typename T>
void AppendLittleEndian(std::vector<std::uint8_t>& bytes, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bytes.push_back(static_cast<std::uint8_t>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF));
}
} // namespace

void BinaryWriter::U8(std::uint8_t value) {
    bytes.push_back(value);
}
void BinaryWriter::U16(std::uint16_t value) {
    AppendLittleEndian(bytes, value);
}
void BinaryWriter::I32(std::int32_t value) {
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(value));
}
void BinaryWriter::U32(std::uint32_t value) {
    AppendLittleEndian(bytes, value);
}

void BinaryWriter::F32(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    U32(bits);
}

void BinaryWriter::Chars(const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

void BinaryWriter::Bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
}

void BinaryWriter::Save(const std::filesystem::path& path) const {
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace quorvel::formats

// What the format describers share: a cursor over a file's bytes whose reads past the end throw
// std::out_of_range naming the field and the offset (a describer prints it where the file breaks
// instead of reading on), and number formatting that round-trips.
#pragma once

#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>

namespace quorvel::formats {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes) : bytes(bytes) {}

    std::size_t Offset() const { return offset; }
    std::size_t Left() const { return bytes.size() - offset; }

    std::span<const std::uint8_t> Take(std::size_t size, const std::string& field) {
        if (size > Left())
            throw std::out_of_range("file ends inside " + field + " (" + std::to_string(size) +
                                    " bytes needed at byte " + std::to_string(offset) + ", " +
                                    std::to_string(Left()) + " left)");
        const auto taken = bytes.subspan(offset, size);
        offset += size;
        return taken;
    }

    std::uint16_t U16(const std::string& field) {
        const auto b = Take(2, field);
        return static_cast<std::uint16_t>(b[0] | b[1] << 8);
    }
    std::uint32_t U32(const std::string& field) {
        const auto b = Take(4, field);
        return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
               static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    }
    std::int32_t I32(const std::string& field) { return static_cast<std::int32_t>(U32(field)); }
    float F32(const std::string& field) { return std::bit_cast<float>(U32(field)); }

    // An int32 length, then that many bytes of text.
    std::string String(const std::string& field) {
        const std::int32_t length = I32(field);
        if (length < 0)
            throw std::out_of_range(field + " has a negative length (" + std::to_string(length) + ")");
        const auto text = Take(static_cast<std::size_t>(length), field);
        return std::string(text.begin(), text.end());
    }

private:
    std::span<const std::uint8_t> bytes;
    std::size_t offset = 0;
};

// The shortest text that reads back as the same float.
inline std::string FormatFloat(float value) {
    std::array<char, 32> text;
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return std::string(text.data(), result.ptr);
}

inline std::string FormatFloats(std::initializer_list<float> values) {
    std::string text = "(";
    for (float value : values)
        text += (text.size() > 1 ? ", " : "") + FormatFloat(value);
    return text + ")";
}

} // namespace quorvel::formats

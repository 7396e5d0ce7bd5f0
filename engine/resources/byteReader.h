// Bounded little-endian reading of a file held whole in memory, shared by the binary file readers.
// Every read checks what is left first, so a short or lying file ends in an ERROR row that names the
// file and the field it broke off in, never in a read past the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace engine::core {

// Reads the whole file in binary mode; false when it cannot be opened or read.
bool LoadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes);

float DecodeFloat(const std::uint8_t* bytes);
std::int32_t DecodeInt(const std::uint8_t* bytes);

class ByteReader {
public:
    // fileName prefixes every error this reader reports.
    ByteReader(std::span<const std::uint8_t> bytes, std::string fileName);

    std::size_t Offset() const { return offset; }
    std::size_t Left() const { return bytes.size() - offset; }
    const std::string& FileName() const { return fileName; }

    // Describes where the reader is ("object 3 \"Cube\""); errors name the field within it.
    void SetContext(std::string where) { context = std::move(where); }

    // Each read names the field it reads, for the error when the file ends inside it.
    std::int32_t ReadInt(const char* field);
    float ReadFloat(const char* field);
    // An int32 length, then that many bytes of narrow text.
    std::string ReadString(const char* field);
    // Returns the next size bytes and moves past them.
    const std::uint8_t* Take(std::size_t size, const char* field);

    // A count read from the file, accepted only when it is not negative and count records of at least
    // minRecordSize bytes fit in what is left, so nothing is allocated for data the file cannot hold.
    std::size_t CheckCount(std::int32_t count, std::size_t minRecordSize, const char* field);

    // Writes the ERROR row "<file>: <reason>" and throws.
    [[noreturn]] void Fail(const std::string& reason) const;

private:
    std::string Describe(const char* field) const;

    std::span<const std::uint8_t> bytes;
    std::string fileName;
    std::string context;
    std::size_t offset = 0;
};

} // namespace engine::core

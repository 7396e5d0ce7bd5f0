// Prints a .tvo mesh file as text, chunk by chunk with byte offsets, for the dump tool. A broken file
// is described up to the place where it breaks, followed by a line saying what is wrong there.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quorvel::formats {

std::string DescribeTVO(std::span<const std::uint8_t> bytes);

} // namespace quorvel::formats

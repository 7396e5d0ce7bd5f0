// Prints a .demo scene file as text, object by object with their curves and keys, for the dump tool.
// A broken file is described up to the place where it breaks, followed by a line saying what is wrong.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quorvel::formats {

std::string DescribeDemo(std::span<const std::uint8_t> bytes);

} // namespace quorvel::formats

// Prints a .ipo curve file as text, curve by curve with modes, keys and handles, for the dump command.
// A broken file is described up to the place where it breaks, followed by a line saying what is wrong.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quorvel::dump {

std::string DescribeIpo(std::span<const std::uint8_t> bytes);

} // namespace quorvel::dump

// Heap allocations made through operator new in this process, for the benchmark's report. The program
// replaces the global operator new to count them; the count costs one atomic addition per allocation.
#pragma once

#include <cstdint>

namespace quorvel {

std::uint64_t AllocationCount();

} // namespace quorvel

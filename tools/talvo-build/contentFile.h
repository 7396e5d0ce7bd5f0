// The gate every content file passes before the compiler reads it: the file must lie inside the
// content folder once its links are resolved (a link may point anywhere inside the folder, never out
// of it), and be small enough to read whole, which is checked from its size before a byte is read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace quorvel::build {

// The largest content file read: far above any description, effect, score or picture a demo holds,
// far below what would stall the build or exhaust memory (a 300 MB file saved in by mistake).
constexpr std::uintmax_t kMaxContentFileBytes = std::uintmax_t{64} << 20;

// What keeps the file from being read, naming it; nothing when it may be read. A file that does not
// exist passes: reading it reports that.
std::optional<std::string> ContentFileProblem(const std::filesystem::path& contentRoot,
                                              const std::filesystem::path& file);

// The same, thrown as a BuildError.
void CheckContentFile(const std::filesystem::path& contentRoot, const std::filesystem::path& file);

} // namespace quorvel::build

// Which data folder the program plays and the folder it works from. The engine and the content name
// every file data/..., relative to the working folder, so the program works from the folder that holds
// the data folder: beside the program in a build folder, ../share/quorvel/ from it when installed, or
// wherever --data points.
#pragma once

#include "launchOptions.h"

#include <filesystem>
#include <iosfwd>

namespace quorvel {

// The folder the running program lies in.
std::filesystem::path ProgramFolder();

// Finds the data folder (--data, else data/ beside the program, else ../share/quorvel/data from it),
// makes the file and folder names the options hold absolute, and moves the working folder to the one
// holding the data folder. Where that fails it prints one line saying why to `err` and returns false,
// leaving the working folder as it was.
bool EnterDataFolder(LaunchOptions& options, const std::filesystem::path& programFolder, std::ostream& err);

} // namespace quorvel

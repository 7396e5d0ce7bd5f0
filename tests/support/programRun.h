// Running the program from a test, as a user would with no display and no sound card, and reading back
// the files it writes. QUORVEL_PROGRAM is the program's path, which the build passes in.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quorvel::test {

// A whole file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#ifdef QUORVEL_PROGRAM
// Runs the program in the current folder with its output in program.out; its exit code, or -1 when it
// did not exit normally.
inline int RunQuorvel(const std::string& arguments) {
    const std::string command = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy '" +
                                std::string(QUORVEL_PROGRAM) + "' " + arguments + " >program.out 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

} // namespace quorvel::test

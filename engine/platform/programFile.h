// Where the files a program ships with it (the window's icon, the settings dialog's banner) are found.
#pragma once

#include <string>

namespace engine::platform {

// The file beside the program in a build folder. An installed program keeps it in its share folder,
// which the program works from, so when there is none beside it the name is taken from the working
// folder.
std::string ProgramFile(const std::string& name);

} // namespace engine::platform

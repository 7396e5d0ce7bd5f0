#include "platform/programFile.h"

#include <SDL.h>

#include <filesystem>
#include <system_error>

namespace engine::platform {

std::string ProgramFile(const std::string& name) {
    char* base = SDL_GetBasePath();
    const std::string beside = std::string(base != nullptr ? base : "") + name;
    SDL_free(base);
    std::error_code ignored;
    return std::filesystem::exists(beside, ignored) ? beside : name;
}

} // namespace engine::platform

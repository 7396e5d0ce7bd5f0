#include "gpu/glCheck.h"

#include "core/logging.h"

#include <cstdio>
#include <string>

namespace engine::gpu {

namespace {

const char* ErrorName(GLenum error) {
    switch (error) {
    case GL_INVALID_ENUM:
        return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE:
        return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION:
        return "GL_INVALID_OPERATION";
    case GL_INVALID_FRAMEBUFFER_OPERATION:
        return "GL_INVALID_FRAMEBUFFER_OPERATION";
    case GL_OUT_OF_MEMORY:
        return "GL_OUT_OF_MEMORY";
    default:
        return "unknown GL error";
    }
}

} // namespace

void CheckGlError(const char* call, const char* file, int line) {
    // A lost context reports GL_CONTEXT_LOST forever; a bounded loop keeps that from hanging.
    for (int i = 0; i < 16; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR)
            return;
        char code[16];
        std::snprintf(code, sizeof code, "0x%04X", error);
        core::Logging::Get()->Warning(
            std::string("GL error ") + code + " (" + ErrorName(error) + ") from " + call, file, line);
    }
}

} // namespace engine::gpu

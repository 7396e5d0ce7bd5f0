// Debug-build checking of OpenGL calls: GL_CALL runs a call and, in debug builds, reports any GL error
// it raised as a WARNING row that names the call and the place. Release builds run the bare call.
#pragma once

#include <epoxy/gl.h>

namespace engine::gpu {

// Drains the GL error queue; writes one WARNING row per error, naming `call`.
void CheckGlError(const char* call, const char* file, int line);

} // namespace engine::gpu

#ifdef NDEBUG
#define GL_CALL(call) call
#else
#define GL_CALL(call)                                                                                        \
    do {                                                                                                     \
        call;                                                                                                \
        ::engine::gpu::CheckGlError(#call, __FILE__, __LINE__);                                              \
    } while (0)
#endif

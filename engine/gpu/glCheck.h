// Debug-build checking of OpenGL calls: GL_CALL runs a call and, in debug builds, reports any GL error
// it raised as a WARNING row that names the call and the place. Release builds run the bare call. In
// both, a benchmark run charges the call's time to the device (perf/zones.h).
#pragma once

#include "perf/zones.h"

#include <epoxy/gl.h>

namespace engine::gpu {

// Drains the GL error queue; writes one WARNING row per error, naming `call`.
void CheckGlError(const char* call, const char* file, int line);

} // namespace engine::gpu

#ifdef NDEBUG
#define GL_CALL(call)                                                                                        \
    do {                                                                                                     \
        ::engine::perf::DeviceZone glCallZone;                                                               \
        call;                                                                                                \
    } while (0)
#else
#define GL_CALL(call)                                                                                        \
    do {                                                                                                     \
        ::engine::perf::DeviceZone glCallZone;                                                               \
        call;                                                                                                \
        ::engine::gpu::CheckGlError(#call, __FILE__, __LINE__);                                              \
    } while (0)
#endif

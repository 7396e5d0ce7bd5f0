// The floor under the engine's figures: a recorded frame (glFrameRecording.h) drawn again and again
// with plain OpenGL calls in a tight loop, as a hand-written renderer that already knows the frame
// would draw it: each state set only where it differs from the previous draw, one vertex array object
// per vertex layout, one sampler object per set of sampler states, the frame's uploads sent as
// recorded. Programs, textures, static buffers and framebuffers are the engine's own objects, read
// only; buffers the frame writes are the replay's copies. Beside it, the raw cost of compiling the
// programs the engine compiled, and the wait for the GPU both sides measure their frames with.
#pragma once

#include "gpu/device.h"
#include "gpu/frameReplay/glFrameRecording.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SDL_Window;

namespace engine::gpu {

// A recorded frame made ready to replay: its calls worked out and its objects made once, then played
// whenever asked, in between the engine's own frames. OpenGL's state as the device left it is read
// before every play and put back after, uniforms of the programs used included, so the device draws on
// as if nothing had happened; only the pictures in the framebuffers differ.
class GlFrameReplay {
public:
    GlFrameReplay(GlFrameRecording recording, SDL_Window* window);
    // Deletes the replay's objects, unless the context has gone already (and they with it).
    ~GlFrameReplay();
    GlFrameReplay(const GlFrameReplay&) = delete;
    GlFrameReplay& operator=(const GlFrameReplay&) = delete;

    // Plays the frame `frames` times, presenting each on the window, and appends the nanoseconds of
    // each, from its first call to the end of its glFinish. An untimed frame first brings OpenGL from
    // the device's state to the one the frame leaves behind; the first play adds one more, for the
    // driver to finish generating its code.
    void Play(int frames, std::vector<std::int64_t>& times);

    // OpenGL calls and draws of one replayed frame.
    std::size_t Calls() const;
    std::size_t Draws() const;

private:
    // The calls worked out and the objects made for them.
    struct Prepared;

    GlFrameRecording recording;
    SDL_Window* window;
    std::unique_ptr<Prepared> prepared;
    bool warm = false;
};

// Waits until OpenGL has finished every command given so far.
void WaitForGpu();

// From the call on, CreateProgram keeps a copy of every program source it compiles.
void KeepProgramSources();
const std::vector<ProgramSource>& KeptProgramSources();
// Called by the device for every program it compiles.
void NoteProgramSource(const ProgramSource& source);
// Compiles and links each source with plain OpenGL calls, checks it linked, deletes it; the
// nanoseconds all of it took. Each source gets a comment of its own first, so no shader cache of the
// driver can answer from what the engine compiled before. `failures` counts sources that did not link.
std::int64_t CompileRawPrograms(const std::vector<ProgramSource>& sources, int& failures);

// GL_RENDERER and GL_VERSION, for the report.
std::string GlRendererName();

} // namespace engine::gpu

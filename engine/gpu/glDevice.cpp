// Frame control, the lost-device contract and render targets of the OpenGL device.
#include "gpu/glDevice.h"

#include "core/logging.h"
#include "gpu/frameReplay/glFrameRecording.h"
#include "gpu/glCheck.h"

#include <cstring>

namespace engine::gpu {

bool GlDevice::ContextWasReset() {
    if (!robust || glGetGraphicsResetStatus() == GL_NO_ERROR)
        return false;
    // A reset context cannot be repaired in place: every GL object is gone with it.
    LOG_WARNING("The OpenGL context was reset by the driver; the device stays lost");
    ReleaseContext();
    return true;
}

Result GlDevice::TestCooperativeLevel() {
    switch (status) {
    case Status::Operational:
        return ContextWasReset() ? kDeviceLost : kOk;
    case Status::Lost:
        if (stillLostAnswers > 0) {
            --stillLostAnswers;
            return kDeviceLost;
        }
        status = Status::NotReset;
        return kDeviceNotReset;
    case Status::NotReset:
        return kDeviceNotReset;
    case Status::Released:
        break;
    }
    return kDeviceLost;
}

Result GlDevice::Reset(PresentParameters& parameters) {
    if (status == Status::Released || status == Status::Lost)
        return kDeviceLost;
    if (inScene || parameters.backBufferFormat != present.backBufferFormat ||
        parameters.multiSampleType != present.multiSampleType)
        return kInvalidCall;
    present = parameters;
    UpdateBackBufferSize(parameters);
    ApplySwapInterval(parameters.presentationInterval);
    ResetState();
    status = Status::Operational;
    return kOk;
}

void GlDevice::InjectDeviceLoss(std::uint32_t answers) {
    presentFails = true;
    stillLostAnswers = answers;
}

Result GlDevice::BeginScene() {
    if (!Drawable())
        return kDeviceLost;
    if (inScene)
        return kInvalidCall;
    inScene = true;
    return kOk;
}

Result GlDevice::EndScene() {
    if (!inScene)
        return kInvalidCall;
    inScene = false;
    return kOk;
}

Result GlDevice::Clear(std::uint32_t flags, Color color, float z, std::uint32_t stencil) {
    if (!Drawable())
        return kOk; // as in Direct3D, work sent to a lost device is dropped without complaint
    GLbitfield mask = 0;
    if ((flags & ClearTarget) != 0) {
        if (!clearColorSet || clearColor != color)
            GL_CALL(glClearColor(((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f,
                                 (color & 0xFF) / 255.0f, (color >> 24) / 255.0f));
        clearColor = color;
        clearColorSet = true;
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if ((flags & ClearZBuffer) != 0) {
        if (clearDepth != z)
            GL_CALL(glClearDepth(z));
        clearDepth = z;
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if ((flags & ClearStencil) != 0) {
        GL_CALL(glClearStencil(stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    // Clear ignores the write masks in Direct3D; OpenGL honours them, so they are opened for it.
    OpenWriteMasks(true);
    if (GlFrameRecorder* recorder = GlFrameRecorder::Active())
        recorder->Clear(mask);
    GL_CALL(glClear(mask));
    return kOk;
}

Result GlDevice::Present() {
    if (status == Status::Released)
        return kDeviceLost;
    if (presentFails) {
        presentFails = false;
        status = Status::Lost;
        return kDeviceLost;
    }
    if (status != Status::Operational)
        return kDeviceLost;
    if (GlFrameRecorder* recorder = GlFrameRecorder::Active())
        recorder->Present();
    {
        perf::DeviceZone swap;
        SDL_GL_SwapWindow(window);
    }
    return ContextWasReset() ? kDeviceLost : kOk;
}

Result GlDevice::GetRenderTarget(std::uint32_t index, Surface** surface) {
    if (surface == nullptr || index != 0 || !renderTarget)
        return kInvalidCall;
    renderTarget->AddRef();
    *surface = renderTarget.Get();
    return kOk;
}

Result GlDevice::SetRenderTarget(std::uint32_t index, Surface* surface) {
    auto* target = dynamic_cast<GlSurface*>(surface);
    if (index != 0 || target == nullptr || !token->alive)
        return kInvalidCall;
    renderTarget = target;
    BindTarget(target);
    return kOk;
}

void GlDevice::BindTarget(GlSurface* surface) {
    GL_CALL(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, surface->Framebuffer()));
    GL_CALL(glViewport(0, 0, surface->Width(), surface->Height()));
    // OpenGL stores the bottom row first. Textures are drawn with the origin at the top so that they
    // hold their picture top row first, as Direct3D's texture coordinates expect.
    const bool topRowFirst = surface->TopRowFirst();
    if (clipControl) {
        GL_CALL(glClipControl(topRowFirst ? GL_UPPER_LEFT : GL_LOWER_LEFT, GL_ZERO_TO_ONE));
    } else if (flipY != topRowFirst) {
        flipY = topRowFirst;
        fixedDirty |= FixedFunction::DirtyProjection;
    }
    ApplyCullMode();
}

GLuint GlDevice::ResolvedFramebuffer(GlSurface* surface) {
    if (surface->Samples() == 0)
        return surface->Framebuffer();
    // A multisampled picture is resolved at its own size first: OpenGL cannot scale and resolve at once.
    if (resolveFramebuffer == 0 || resolveWidth != surface->Width() || resolveHeight != surface->Height()) {
        if (resolveFramebuffer == 0) {
            GL_CALL(glGenFramebuffers(1, &resolveFramebuffer));
            GL_CALL(glGenRenderbuffers(1, &resolveRenderbuffer));
        }
        resolveWidth = surface->Width();
        resolveHeight = surface->Height();
        GL_CALL(glBindRenderbuffer(GL_RENDERBUFFER, resolveRenderbuffer));
        GL_CALL(glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, resolveWidth, resolveHeight));
        GL_CALL(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer));
        GL_CALL(glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                          resolveRenderbuffer));
    }
    GL_CALL(glBindFramebuffer(GL_READ_FRAMEBUFFER, surface->Framebuffer()));
    GL_CALL(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer));
    const GLint whole[4] = {0, 0, static_cast<GLint>(resolveWidth), static_cast<GLint>(resolveHeight)};
    if (GlFrameRecorder* recorder = GlFrameRecorder::Active())
        recorder->Blit(whole, whole, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    GL_CALL(glBlitFramebuffer(whole[0], whole[1], whole[2], whole[3], whole[0], whole[1], whole[2], whole[3],
                              GL_COLOR_BUFFER_BIT, GL_NEAREST));
    GL_CALL(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, renderTarget->Framebuffer()));
    return resolveFramebuffer;
}

Result GlDevice::StretchRect(Surface* source, Surface* destination, TextureFilter filter) {
    auto* from = dynamic_cast<GlSurface*>(source);
    auto* to = dynamic_cast<GlSurface*>(destination);
    if (from == nullptr || to == nullptr || from == to || to->Samples() != 0)
        return kInvalidCall;
    if (!Drawable())
        return kOk;
    const GLuint read = ResolvedFramebuffer(from);
    // The copy turns the picture over when the two surfaces store their rows in opposite orders.
    const bool flip = from->TopRowFirst() != to->TopRowFirst();
    const GLint height = to->Height();
    GL_CALL(glBindFramebuffer(GL_READ_FRAMEBUFFER, read));
    GL_CALL(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to->Framebuffer()));
    OpenWriteMasks(false);
    const GLint sourceRect[4] = {0, 0, static_cast<GLint>(from->Width()), static_cast<GLint>(from->Height())};
    const GLint targetRect[4] = {0, flip ? height : 0, static_cast<GLint>(to->Width()), flip ? 0 : height};
    const GLenum scaling = filter == FilterLinear || filter == FilterAnisotropic ? GL_LINEAR : GL_NEAREST;
    if (GlFrameRecorder* recorder = GlFrameRecorder::Active())
        recorder->Blit(sourceRect, targetRect, GL_COLOR_BUFFER_BIT, scaling);
    GL_CALL(glBlitFramebuffer(sourceRect[0], sourceRect[1], sourceRect[2], sourceRect[3], targetRect[0],
                              targetRect[1], targetRect[2], targetRect[3], GL_COLOR_BUFFER_BIT, scaling));
    GL_CALL(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, renderTarget->Framebuffer()));
    return kOk;
}

Result GlDevice::ReadPixels(Surface* source, std::vector<std::uint8_t>& rgba) {
    auto* from = dynamic_cast<GlSurface*>(source);
    if (from == nullptr || !token->alive)
        return kInvalidCall;
    const std::size_t width = from->Width(), height = from->Height(), row = width * 4;
    rgba.resize(row * height);
    GL_CALL(glBindFramebuffer(GL_READ_FRAMEBUFFER, ResolvedFramebuffer(from)));
    GL_CALL(glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data()));
    if (!from->TopRowFirst()) {
        std::vector<std::uint8_t> swap(row);
        for (std::size_t y = 0; y < height / 2; ++y) {
            std::uint8_t* top = rgba.data() + y * row;
            std::uint8_t* bottom = rgba.data() + (height - 1 - y) * row;
            std::memcpy(swap.data(), top, row);
            std::memcpy(top, bottom, row);
            std::memcpy(bottom, swap.data(), row);
        }
    }
    return kOk;
}

Result GlDevice::QueueReadPixels(Surface* source) {
    static_assert(GlReadBack::kSlots == kMaxQueuedReads);
    auto* from = dynamic_cast<GlSurface*>(source);
    if (from == nullptr || !token->alive || readBack.Full())
        return kInvalidCall;
    readBack.Queue(ResolvedFramebuffer(from), from->Width(), from->Height(), from->TopRowFirst());
    return kOk;
}

Result GlDevice::TakeQueuedPixels(std::vector<std::uint8_t>& rgba) {
    if (!token->alive)
        return kDeviceLost;
    if (readBack.Empty())
        return kInvalidCall;
    return readBack.Take(rgba) ? kOk : kDeviceLost;
}

} // namespace engine::gpu

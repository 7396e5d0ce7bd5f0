#include "gpu/glObjects.h"

#include "gpu/frameReplay/glFrameRecording.h"
#include "gpu/glCheck.h"

#include <cstring>

namespace engine::gpu {

int AttributeLocation(std::uint8_t usage, std::uint8_t usageIndex) {
    switch (usage) {
    case UsagePosition:
        return usageIndex == 0 ? 0 : -1;
    case UsageNormal:
        return usageIndex == 0 ? 1 : -1;
    case UsageTexCoord:
        return usageIndex < 4 ? 2 + usageIndex : -1;
    case UsageTangent:
        return usageIndex == 0 ? 6 : -1;
    case UsageBinormal:
        return usageIndex == 0 ? 7 : -1;
    case UsageColor:
        return usageIndex < 2 ? 8 + usageIndex : -1;
    default:
        return -1;
    }
}

GlBuffer::GlBuffer(ContextToken context, std::uint32_t length, std::uint32_t usage)
    : context(std::move(context)), usage(usage), shadow(length) {
    GL_CALL(glGenBuffers(1, &name));
    // Uploads go through the copy-write binding so that the element-array binding held by the vertex
    // array object is never disturbed.
    GL_CALL(glBindBuffer(GL_COPY_WRITE_BUFFER, name));
    GL_CALL(glBufferData(GL_COPY_WRITE_BUFFER, length, nullptr,
                         (usage & UsageDynamic) != 0 ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW));
}

GlBuffer::~GlBuffer() {
    if (context->alive)
        GL_CALL(glDeleteBuffers(1, &name));
}

Result GlBuffer::Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) {
    if (data == nullptr || locked)
        return kInvalidCall;
    const std::uint64_t length = shadow.size();
    if (size == 0) {
        if (offset > length)
            return kInvalidCall;
        size = static_cast<std::uint32_t>(length - offset);
    }
    if (std::uint64_t(offset) + size > length)
        return kInvalidCall;
    locked = true;
    discard = (flags & LockDiscard) != 0;
    lockOffset = offset;
    lockSize = (flags & LockReadOnly) != 0 ? 0 : size;
    *data = shadow.data() + offset;
    return kOk;
}

Result GlBuffer::Unlock() {
    if (!locked)
        return kInvalidCall;
    locked = false;
    if (!context->alive || (lockSize == 0 && !discard))
        return kOk;
    GL_CALL(glBindBuffer(GL_COPY_WRITE_BUFFER, name));
    const GLenum bufferUsage = (usage & UsageDynamic) != 0 ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
    if (GlFrameRecorder* recorder = GlFrameRecorder::Active()) {
        if (discard)
            recorder->Upload(name, true, bufferUsage, 0, shadow.size(), shadow.data());
        else
            recorder->Upload(name, false, bufferUsage, lockOffset, lockSize, shadow.data() + lockOffset);
    }
    if (discard) {
        // Orphans the old storage so that draws still reading it do not stall the upload.
        GL_CALL(glBufferData(GL_COPY_WRITE_BUFFER, shadow.size(), shadow.data(), bufferUsage));
    } else {
        GL_CALL(glBufferSubData(GL_COPY_WRITE_BUFFER, lockOffset, lockSize, shadow.data() + lockOffset));
    }
    return kOk;
}

Result GlIndexBuffer::Unlock() {
    const Result result = buffer.Unlock();
    if (Failed(result))
        return result;
    const std::uint32_t count = buffer.Length() / IndexSize();
    std::uint32_t low = 0xFFFFFFFFu, high = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t index;
        if (format == FormatIndex32) {
            std::memcpy(&index, buffer.Data() + 4 * i, 4);
        } else {
            std::uint16_t narrow;
            std::memcpy(&narrow, buffer.Data() + 2 * i, 2);
            index = narrow;
        }
        low = index < low ? index : low;
        high = index > high ? index : high;
    }
    minIndex = count > 0 ? low : 0;
    maxIndex = high;
    return kOk;
}

} // namespace engine::gpu

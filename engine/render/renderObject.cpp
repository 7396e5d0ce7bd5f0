#include "render/renderObject.h"

#include "render/material.h"

namespace engine::gfx {

RenderObject::RenderObject() : world(math::Matrix4x4::Identity), worldInverse(math::Matrix4x4::Identity) {}

} // namespace engine::gfx

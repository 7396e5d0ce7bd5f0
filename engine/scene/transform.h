// Helpers for the rigid transforms of the scene graph; the Transform record itself is public.
#pragma once

#include <engine/scene.h>

namespace engine::gfx {

// Rows become columns: the inverse of an orthonormal rotation.
math::Matrix3x3 Transposed(const math::Matrix3x3& r);

} // namespace engine::gfx

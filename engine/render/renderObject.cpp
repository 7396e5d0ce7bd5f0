#include "render/renderObject.h"

#include "render/material.h"

#include <boost/make_shared.hpp>

namespace engine::gfx {

RenderObject::RenderObject() : world(math::Matrix4x4::Identity), worldInverse(math::Matrix4x4::Identity) {}

RenderObject& NextRenderObject(boost::shared_ptr<RenderObject>& kept) {
    if (kept && kept.use_count() == 1)
        *kept = RenderObject();
    else
        kept = boost::make_shared<RenderObject>();
    return *kept;
}

} // namespace engine::gfx

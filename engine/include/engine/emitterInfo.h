// The records a program fills to describe a particle emitter: what the particles look like when they
// are born, how they move and change, how many the ring holds and how often a new one is emitted. The
// engine reads them during the call that creates the emitter and keeps its own copy.
#pragma once

#include <engine/math.h>

#include <boost/shared_ptr.hpp>

#include <cstdint>

namespace engine::gfx {

class Effect;

struct EmitterInfo {
    math::Vector4f color{1.0f, 1.0f, 1.0f, 1.0f};
    // Each particle's colour change gets colorVariance times a random factor in [-1, 0.998] per component.
    math::Vector4f colorVariance{0.0f, 0.0f, 0.0f, 0.0f};
    // Per second.
    math::Vector4f colorChange{0.0f, 0.0f, 0.0f, 0.0f};
    // Units per second.
    math::Vector3f velocity{0.0f, 1.0f, 0.0f};
    math::Vector3f velocityVariance{0.0f, 0.0f, 0.0f};
    // Units per second squared.
    math::Vector3f acceleration{0.0f, 0.0f, 0.0f};
    // The effect the particles are drawn with, from BuildEffect.
    boost::shared_ptr<Effect> effect;
    // Edge length of a particle's quad (the trail's width and depth).
    float size = 1.0f;
    // Read by no emitter.
    float reserved = 0.0f;
    // Per second.
    float sizeChange = 0.0f;
    // Radians per second.
    float spin = 0.0f;
    float spinVariance = 0.0f;
    // Capacity of the ring; once full, every emission overwrites the oldest particle.
    std::int32_t maxParticles = 100;
    // Particles alive from the start.
    std::int32_t particleCount = 100;
    // Seconds between two emissions; 0.0001 or less emits nothing.
    float emitInterval = 1.0f;
};

// A rectangular source: particles are born anywhere within +-planeWidth along the node's X axis and
// +-planeDepth along its Z axis around the node's position.
struct PlaneEmitterInfo : EmitterInfo {
    float planeWidth = 0.0f;
    float planeDepth = 0.0f;
};

} // namespace engine::gfx

// Particle emitters: scene-graph leaves that move their particles on the processor every frame and draw
// them with one render object, as camera-facing quads born at a point or in a rectangle (Emitter,
// PlaneEmitter) or as a four-sided tube through the poses their node went through (CurveEmitter).
// Particles live in a ring of fixed capacity: an emission takes the slot after the newest and, once the
// ring is full, overwrites the oldest. All memory and the device buffers are made once, at construction;
// a frame only rewrites the dynamic vertex buffer. Leans on the scene graph, the renderer's submission,
// the timer's seconds since the last pass and the window's device.
#pragma once

#include "gpu/device.h"

#include <engine/emitterInfo.h>
#include <engine/scene.h>

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <vector>

namespace engine::gfx {

struct Material;
struct RenderObject;

// Where the random factors of new particles come from. Each respawn seeds the particle generator anew
// and reseeds it before every factor. In a normal run that seed is the low 32 bits of the high-resolution
// counter, so no two runs look alike. A repeatable run (tests, frame-exact capture) takes the seeds from
// a sequence that starts at `seed` instead: the same seed, emitters and time steps, with the emission
// clocks reset, give the same particles bit for bit.
void UseRepeatableParticles(std::uint32_t seed);
void UseClockSeededParticles();

// Empties the emission clocks, as at start-up. There is one per emitter class, shared by every emitter
// of that class (Emitter with PlaneEmitter, and CurveEmitter), so a repeatable run must start here.
void ResetEmissionClocks();

// Runs the emission clocks and the seed sequence as every emitter below `scene` would over `steps`
// passes of `dt` seconds, walked in the scene's order, without moving or making any particle: how a
// seek brings a repeatable run to where a run from the start stands after scenes it did not show.
void SkipEmissions(Spatial& scene, int steps, float dt);

// The random factors of one respawn, each in [-1.0, 0.998] in steps of 0.002, from the generator reseeded
// before every factor with a number drawn from the previous seed.
class RandomFactors {
public:
    // Seeds from the counter or, in a repeatable run, from the next seed of the run's sequence.
    RandomFactors();
    float Next();

private:
    std::uint32_t state;
    std::uint32_t seed;
};

// The device objects an emitter draws with; the index buffer is filled once, the vertex buffer every
// frame, and the render object submitted every frame is refilled once the queue has let it go.
struct ParticleBuffers {
    gpu::Ref<gpu::VertexBuffer> vertexBuffer;
    gpu::Ref<gpu::IndexBuffer> indexBuffer;
    gpu::Ref<gpu::VertexDeclaration> declaration;
    boost::shared_ptr<RenderObject> submitted;
};

// A point source of billboards.
class Emitter : public Spatial {
public:
    struct Particle {
        math::Vector3f position;
        math::Vector3f velocity;
        math::Vector3f acceleration;
        math::Vector4f color;
        math::Vector4f colorChange;
        float angle = 0.0f;
        float spin = 0.0f;
        // The drawn size, and the one that grows.
        float size = 0.0f;
        float baseSize = 0.0f;
        float age = 0.0f;
    };
    // One corner of a billboard: the corner's place in the quad (0 or 1 on each axis) goes to
    // TEXCOORD0, the particle's colour to TEXCOORD1.
    struct Vertex {
        float position[3];
        float corner[2];
        float color[4];
    };
    static constexpr int kVerticesPerParticle = 4;
    // Index buffers switch to 32 bits from this capacity on, where the last vertex number passes 65535.
    static constexpr int kFirst32BitCapacity = 16384;

    // `node` becomes the parent, whose local translation places new particles; the caller adds the
    // emitter to the node's children. The first particleCount particles are born at once, all from the
    // point. ERROR rows (which throw) when the ring cannot hold particleCount or a device object fails.
    Emitter(Node* node, const EmitterInfo& info);
    ~Emitter() override;

    // Advances by the timer's seconds since the last pass, then writes one quad per live particle,
    // oldest first, facing the axes of the renderer's scene root, and submits them.
    void Update(Renderer* renderer) override;
    // Emits once per whole emission interval on the class's clock, then moves every live particle.
    virtual void Simulate(float dt);
    // What Simulate does to the class's clock and the seed sequence, and nothing else.
    void SkipEmissions(float dt);
    virtual void UpdateParticle(Particle& particle, float dt);
    // Respawns the slot after the newest particle; a full ring gives up its oldest.
    virtual void Emit();
    virtual void Respawn(Particle& particle);

    int GetCount() const { return count; }
    // Ring slot of the oldest live particle.
    int GetFirst() const { return first; }
    int GetCapacity() const { return capacity; }
    const Particle& GetParticle(int slot) const { return particles[slot]; }
    const ParticleBuffers& GetBuffers() const { return buffers; }
    const boost::shared_ptr<Material>& GetMaterial() const { return material; }

protected:
    // Where new particles appear: the node's local translation, or the origin without a node.
    math::Vector3f SourcePosition();
    // The prototype born at `position`, with the record's variances applied.
    void RespawnAt(Particle& particle, const math::Vector3f& position, RandomFactors& random);

private:
    // Writes the quads of the live particles, oldest first, for the given right and up axes.
    void WriteQuads(Vertex* out, const math::Vector3f& right, const math::Vector3f& up) const;

    std::vector<Particle> particles;
    int count = 0;
    int first = 0;
    float emitInterval = 0.0f;
    int capacity = 0;
    ParticleBuffers buffers;
    boost::shared_ptr<Material> material;
    EmitterInfo info;
    // What every respawn starts from.
    Particle prototype;
};

// A rectangular source: new particles are born anywhere within +-planeWidth along X and +-planeDepth
// along Z around the node's local translation. The rectangle does not turn with the node.
class PlaneEmitter : public Emitter {
public:
    PlaneEmitter(Node* node, const PlaneEmitterInfo& info);

    void Respawn(Particle& particle) override;

private:
    float planeWidth = 0.0f;
    float planeDepth = 0.0f;
};

// A trail: each particle is a square cross-section of the node's pose when it was emitted, and the tube
// joins them from the oldest to the newest, whose ring always follows the node where it is now. Only the
// colour changes over time. Uses color, colorVariance, colorChange, size, maxParticles, particleCount,
// emitInterval and effect of the record.
class CurveEmitter : public Spatial {
public:
    struct Particle {
        math::Vector3f corners[4];
        math::Vector4f color;
        math::Vector4f colorChange;
        float width = 0.0f;
        float depth = 0.0f;
    };
    struct Vertex {
        float position[3];
        float color[4];
    };
    static constexpr int kVerticesPerParticle = 4;
    // From this capacity on, the trail's indices are 32-bit.
    static constexpr int kFirst32BitCapacity = 1001;

    // The first particleCount particles are not respawned: they sit at the origin with no colour until
    // emissions replace them. ERROR rows (which throw) as for Emitter.
    CurveEmitter(Node* node, const EmitterInfo& info);
    ~CurveEmitter() override;

    // Advances like Emitter, then writes the rings of the live particles, oldest first, with the node's
    // current pose as the last ring, and submits the tube.
    void Update(Renderer* renderer) override;
    virtual void Simulate(float dt);
    void SkipEmissions(float dt);
    virtual void UpdateParticle(Particle& particle, float dt);
    virtual void Emit();
    virtual void Respawn(Particle& particle);

    int GetCount() const { return count; }
    int GetFirst() const { return first; }
    int GetCapacity() const { return capacity; }
    const Particle& GetParticle(int slot) const { return particles[slot]; }
    const ParticleBuffers& GetBuffers() const { return buffers; }
    const boost::shared_ptr<Material>& GetMaterial() const { return material; }

private:
    // The square of the given edge lengths in the node's local XZ plane, turned and placed by the
    // node's current local matrix.
    void RingOfCurrentPose(float width, float depth, math::Vector3f corners[4]);

    std::vector<Particle> particles;
    int count = 0;
    int first = 0;
    float emitInterval = 0.0f;
    int capacity = 0;
    ParticleBuffers buffers;
    boost::shared_ptr<Material> material;
    EmitterInfo info;
    Particle prototype;
};

} // namespace engine::gfx

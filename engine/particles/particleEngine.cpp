#include "particles/particleEngine.h"

#include "core/logging.h"
#include "core/timer.h"
#include "perf/zones.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "render/material.h"
#include "render/renderObject.h"
#include "render/renderer.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <span>
#include <string>

namespace engine::gfx {

namespace {

// An interval this short or shorter emits nothing.
constexpr double kMinEmitInterval = 0.0001;

// One per emitter class: every emitter of the class adds its frame time to the same clock.
float emitterClock = 0.0f;
float curveClock = 0.0f;

bool repeatable = false;
// The seeds of a repeatable run, one per respawn, in place of the counter.
std::uint32_t repeatableState = 0;

// One step of a Weyl sequence through a 32-bit mixing function, so that seeds a few counter ticks apart
// (respawns within one frame) still give unrelated numbers.
std::uint32_t NextRandom(std::uint32_t& state) {
    state += 0x9E3779B9u;
    std::uint32_t z = state;
    z = (z ^ (z >> 16)) * 0x7FEB352Du;
    z = (z ^ (z >> 15)) * 0x846CA68Bu;
    return z ^ (z >> 16);
}

// Per particle: 0 1 2 / 2 3 0.
constexpr std::uint32_t kQuadPattern[] = {0, 1, 2, 2, 3, 0};
// Per ring b = 4p: its cross-section, then the four sides joining it to ring p + 1.
constexpr std::uint32_t kTubePattern[] = {0, 1, 2, 2, 3, 0, 2, 6, 3, 3, 7, 6, 1, 5, 6,
                                          6, 2, 1, 1, 0, 5, 5, 0, 4, 4, 0, 7, 7, 0, 3};

constexpr gpu::VertexElement kQuadElements[] = {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0},
                                                {0, 12, gpu::DeclFloat2, 0, gpu::UsageTexCoord, 0},
                                                {0, 20, gpu::DeclFloat4, 0, gpu::UsageTexCoord, 1},
                                                gpu::kDeclEnd};
constexpr gpu::VertexElement kTubeElements[] = {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0},
                                                {0, 12, gpu::DeclFloat4, 0, gpu::UsageTexCoord, 0},
                                                gpu::kDeclEnd};

static_assert(sizeof(Emitter::Vertex) == 36);
static_assert(sizeof(CurveEmitter::Vertex) == 28);

void CheckCounts(const EmitterInfo& info) {
    if (info.maxParticles < info.particleCount)
        LOG_ERROR("Emitter cannot store so many particles: " + std::to_string(info.particleCount) + "/" +
                  std::to_string(info.maxParticles));
    // A negative count would put the newest particle before the first slot of the ring.
    if (info.particleCount < 0)
        LOG_ERROR("Emitter cannot start with a negative particle count: " +
                  std::to_string(info.particleCount));
}

// The tube's links from the last ring lead past the last vertex. They are never drawn; wrapped onto the
// first ring they keep every index inside the vertex buffer, which the device checks before each draw.
template <typename Index>
void FillIndices(void* target, int capacity, std::span<const std::uint32_t> pattern) {
    auto* out = static_cast<Index*>(target);
    const auto vertexCount = static_cast<std::uint32_t>(capacity) * 4;
    for (std::uint32_t base = 0; base < vertexCount; base += 4)
        for (std::uint32_t offset : pattern)
            *out++ = static_cast<Index>((base + offset) % vertexCount);
}

// Four vertices of `vertexBytes` per particle; the index buffer repeats `pattern` for every particle
// and is 32-bit from first32BitCapacity on. Every failure is an ERROR row, which throws.
ParticleBuffers CreateParticleBuffers(int capacity, std::uint32_t vertexBytes,
                                      std::span<const std::uint32_t> pattern, int first32BitCapacity,
                                      const gpu::VertexElement* elements) {
    gpu::Device* device = core::CWin32Window::Get()->device;
    constexpr std::uint64_t kMaxLength = std::numeric_limits<std::uint32_t>::max();
    ParticleBuffers made;

    // An empty ring, or one whose bytes do not fit a buffer length, is refused as the device would.
    const std::uint64_t vertexLength = capacity > 0 ? std::uint64_t(capacity) * 4 * vertexBytes : 0;
    gpu::VertexBuffer* vertices = nullptr;
    if (device == nullptr || vertexLength == 0 || vertexLength > kMaxLength ||
        gpu::Failed(device->CreateVertexBuffer(static_cast<std::uint32_t>(vertexLength),
                                               gpu::UsageDynamic | gpu::UsageWriteOnly, &vertices)))
        LOG_ERROR("Failed to create a particle vertex buffer");
    made.vertexBuffer = gpu::Ref<gpu::VertexBuffer>::Adopt(vertices);

    const bool wide = capacity >= first32BitCapacity;
    const std::uint64_t indexLength = std::uint64_t(capacity) * pattern.size() * (wide ? 4 : 2);
    gpu::IndexBuffer* indices = nullptr;
    void* target = nullptr;
    bool filled =
        indexLength <= kMaxLength &&
        !gpu::Failed(device->CreateIndexBuffer(static_cast<std::uint32_t>(indexLength), gpu::UsageWriteOnly,
                                               wide ? gpu::FormatIndex32 : gpu::FormatIndex16, &indices));
    if (filled) {
        made.indexBuffer = gpu::Ref<gpu::IndexBuffer>::Adopt(indices);
        filled = !gpu::Failed(indices->Lock(0, 0, &target, 0));
    }
    if (!filled)
        LOG_ERROR(wide ? "Failed to create a 32bit particle index buffer"
                       : "Failed to create a 16bit particle index buffer");
    if (wide)
        FillIndices<std::uint32_t>(target, capacity, pattern);
    else
        FillIndices<std::uint16_t>(target, capacity, pattern);
    indices->Unlock();

    gpu::VertexDeclaration* declaration = nullptr;
    if (gpu::Failed(device->CreateVertexDeclaration(elements, &declaration)))
        LOG_ERROR("Failed creating vertex declaration");
    made.declaration = gpu::Ref<gpu::VertexDeclaration>::Adopt(declaration);
    // Made now, so that the frame the first particle appears in allocates nothing either.
    made.submitted = boost::make_shared<RenderObject>();
    return made;
}

boost::shared_ptr<Material> MaterialOf(const EmitterInfo& info) {
    auto material = boost::make_shared<Material>();
    material->effect = info.effect;
    return material;
}

// Adds dt to the class's clock and emits once for every whole interval it holds. Once every slot has
// been renewed within this call, further emissions would only renew the same slots again from the same
// pose, so the rest only turns the ring: a long frame at a tiny interval costs one ring, not millions
// of respawns, and leaves the ring as the full count of emissions would.
template <typename EmitOne>
void RunEmissions(float& clock, float dt, float interval, int capacity, int& first, EmitOne emitOne) {
    clock += dt;
    if (!(interval > kMinEmitInterval) || !(clock >= interval))
        return;
    int emitted = 0;
    do {
        if (emitted == capacity) {
            // The ring is full now: each further emission moves the oldest slot on by one.
            const double further = std::floor(double(clock) / double(interval));
            first = (first + static_cast<int>(std::fmod(further, double(capacity)))) % capacity;
            clock = std::fmod(clock, interval);
            return;
        }
        emitOne();
        ++emitted;
        clock -= interval;
    } while (clock >= interval);
}

// What SetRootNode installed is the only child of the renderer's root; particles are placed in its
// space and face its axes.
math::Matrix4x4 SceneRootWorld(Renderer& renderer) {
    const boost::shared_ptr<Node> root = renderer.GetRootNode();
    if (!root)
        return math::Matrix4x4::Identity;
    const std::vector<boost::shared_ptr<Spatial>>& children = root->GetChildren();
    return children.empty() ? root->GetWorldMatrix() : children.front()->GetWorldMatrix();
}

float FrameSeconds() {
    return static_cast<float>(core::Timer::Get()->SinceLast());
}

// A buffer that cannot be mapped (the device is lost) shows nothing this frame.
template <typename Vertex>
Vertex* LockVertices(const ParticleBuffers& buffers) {
    void* data = nullptr;
    if (gpu::Failed(buffers.vertexBuffer->Lock(0, 0, &data, gpu::LockDiscard)))
        return nullptr;
    return static_cast<Vertex*>(data);
}

void SubmitParticles(Renderer& renderer, ParticleBuffers& buffers,
                     const boost::shared_ptr<Material>& material, int numVertices, int primitiveCount,
                     int stride, const math::Matrix4x4& world) {
    RenderObject& object = NextRenderObject(buffers.submitted);
    object.numVertices = numVertices;
    object.primitiveCount = primitiveCount;
    object.vertexBuffer = buffers.vertexBuffer.Get();
    object.indexBuffer = buffers.indexBuffer.Get();
    object.declaration = buffers.declaration.Get();
    object.material = material;
    object.primitiveType = gpu::PrimitiveTriangleList;
    object.world = world;
    object.stride = stride;
    renderer.Submit(buffers.submitted);
}

// Angles beyond this many radians leave too few bits for the reduction below.
constexpr float kMaxReducedAngle = 8192.0f;

// Sines and cosines of a block of angles. The loop has neither branch nor call, so that the compiler
// can vectorise it: each angle is reduced to within an eighth of a turn of a multiple of a quarter turn
// (the quarter split in three parts, so that the reduction stays exact), short minimax polynomials give
// sine and cosine there to within a float step or two, and the quadrant swaps them and flips their signs
// on the bits. Angles past kMaxReducedAngle (or not numbers) are redone by the library afterwards.
[[gnu::always_inline]] inline void SinCosBlock(const float* angles, float* sines, float* cosines, int n) {
    std::uint32_t anyOutOfRange = 0;
    for (int i = 0; i < n; ++i) {
        const float angle = angles[i];
        const float magnitude = std::fabs(angle);
        const std::uint32_t inRange = 0u - static_cast<std::uint32_t>(magnitude <= kMaxReducedAngle);
        const float x = std::bit_cast<float>(std::bit_cast<std::uint32_t>(magnitude) & inRange);
        anyOutOfRange |= ~inRange;
        const int octant = (static_cast<int>(x * 1.27323954473516f) + 1) & ~1;
        const auto y = static_cast<float>(octant);
        const float r = ((x - y * 0.78515625f) - y * 2.4187564849853515625e-4f) - y * 3.77489497744594108e-8f;
        const float z = r * r;
        const float s = r + r * z * (-1.6666654611e-1f + z * (8.3321608736e-3f + z * -1.9515295891e-4f));
        const float c =
            1.0f - 0.5f * z +
            z * z * (4.166664568298827e-2f + z * (-1.388731625493765e-3f + z * 2.443315711809948e-5f));
        const auto quadrant = static_cast<std::uint32_t>(octant >> 1) & 3;
        const std::uint32_t swap = 0u - (quadrant & 1);
        const auto sBits = std::bit_cast<std::uint32_t>(s);
        const auto cBits = std::bit_cast<std::uint32_t>(c);
        const std::uint32_t sineSign =
            ((quadrant >> 1) << 31) ^ (std::bit_cast<std::uint32_t>(angle) & 0x80000000u);
        const std::uint32_t cosineSign = ((quadrant ^ (quadrant >> 1)) & 1) << 31;
        sines[i] = std::bit_cast<float>(((cBits & swap) | (sBits & ~swap)) ^ sineSign);
        cosines[i] = std::bit_cast<float>(((sBits & swap) | (cBits & ~swap)) ^ cosineSign);
    }
    if (anyOutOfRange == 0)
        return;
    for (int i = 0; i < n; ++i)
        if (!(std::fabs(angles[i]) <= kMaxReducedAngle)) {
            sines[i] = std::sin(angles[i]);
            cosines[i] = std::cos(angles[i]);
        }
}

// The quads of `n` particles in a row, a block at a time: first the sines and cosines of the block, so
// that the long chain of the polynomials runs side by side for many particles instead of stalling each
// one, then the corners as plain sums of values computed once per particle. Built for AVX2 as well as
// the baseline, the loader picking one, so the polynomials run eight particles a step where they can.
__attribute__((target_clones("avx2", "default"))) Emitter::Vertex*
WriteQuadRun(Emitter::Vertex* out, const Emitter::Particle* particle, int n, const math::Vector3f& right,
             const math::Vector3f& up) {
    constexpr int kBlock = 64;
    float angles[kBlock], sines[kBlock], cosines[kBlock];
    while (n > 0) {
        const int block = std::min(n, kBlock);
        for (int i = 0; i < block; ++i)
            angles[i] = particle[i].angle;
        SinCosBlock(angles, sines, cosines, block);
        for (int i = 0; i < block; ++i, ++particle, out += 4) {
            const float half = particle->size * 0.5f;
            const float sa = sines[i];
            const float ca = cosines[i];
            const float ax = half * (right.x * ca - up.x * sa);
            const float ay = half * (right.y * ca - up.y * sa);
            const float az = half * (right.z * ca - up.z * sa);
            const float bx = half * (right.x * sa + up.x * ca);
            const float by = half * (right.y * sa + up.y * ca);
            const float bz = half * (right.z * sa + up.z * ca);
            const float px = particle->position.x;
            const float py = particle->position.y;
            const float pz = particle->position.z;
            const math::Vector4f& c = particle->color;
            out[0] = {{px - ax - bx, py - ay - by, pz - az - bz}, {0.0f, 0.0f}, {c.x, c.y, c.z, c.w}};
            out[1] = {{px - ax + bx, py - ay + by, pz - az + bz}, {0.0f, 1.0f}, {c.x, c.y, c.z, c.w}};
            out[2] = {{px + ax + bx, py + ay + by, pz + az + bz}, {1.0f, 1.0f}, {c.x, c.y, c.z, c.w}};
            out[3] = {{px + ax - bx, py + ay - by, pz + az - bz}, {1.0f, 0.0f}, {c.x, c.y, c.z, c.w}};
        }
        n -= block;
    }
    return out;
}

void WriteRing(CurveEmitter::Vertex* out, const math::Vector3f corners[4], const math::Vector4f& c) {
    for (int corner = 0; corner < 4; ++corner)
        out[corner] = {{corners[corner].x, corners[corner].y, corners[corner].z}, {c.x, c.y, c.z, c.w}};
}

} // namespace

void UseRepeatableParticles(std::uint32_t seed) {
    repeatable = true;
    repeatableState = seed;
}

void UseClockSeededParticles() {
    repeatable = false;
}

void ResetEmissionClocks() {
    emitterClock = 0.0f;
    curveClock = 0.0f;
}

namespace {

// Emitters below `node` in the order a walk of the scene updates them.
void CollectEmitters(Spatial& node, std::vector<Spatial*>& found) {
    if (dynamic_cast<Emitter*>(&node) != nullptr || dynamic_cast<CurveEmitter*>(&node) != nullptr)
        found.push_back(&node);
    if (auto* group = dynamic_cast<Node*>(&node))
        for (const boost::shared_ptr<Spatial>& child : group->GetChildren())
            CollectEmitters(*child, found);
}

} // namespace

void SkipEmissions(Spatial& scene, int steps, float dt) {
    std::vector<Spatial*> emitters;
    CollectEmitters(scene, emitters);
    for (int step = 0; step < steps; ++step)
        for (Spatial* emitter : emitters) {
            if (auto* points = dynamic_cast<Emitter*>(emitter))
                points->SkipEmissions(dt);
            else
                static_cast<CurveEmitter*>(emitter)->SkipEmissions(dt);
        }
}

RandomFactors::RandomFactors()
    : state(repeatable ? NextRandom(repeatableState)
                       : static_cast<std::uint32_t>(platform::SystemClock().Counter())),
      seed(NextRandom(state)) {}

float RandomFactors::Next() {
    state = seed;
    seed = NextRandom(state);
    const std::uint32_t x = NextRandom(state);
    return static_cast<float>((static_cast<int>(x % 1000) - 500) * 0.002);
}

// Emitter

Emitter::Emitter(Node* node, const EmitterInfo& record) : info(record) {
    parent = node;
    CheckCounts(record);
    LOG_MESSAGE("Creating particle emitter");
    if (record.size < 1.0f)
        LOG_MESSAGE("Emitter size is less than one. Skipping.");

    prototype.position = SourcePosition();
    prototype.velocity = record.velocity;
    prototype.acceleration = record.acceleration;
    prototype.color = record.color;
    prototype.colorChange = record.colorChange;
    prototype.angle = 0.0f;
    prototype.spin = record.spin;
    prototype.size = prototype.baseSize = record.size;
    prototype.age = 0.0f;
    first = 0;
    count = record.particleCount;
    capacity = record.maxParticles;
    emitInterval = record.emitInterval;

    buffers =
        CreateParticleBuffers(capacity, sizeof(Vertex), kQuadPattern, kFirst32BitCapacity, kQuadElements);
    material = MaterialOf(record);
    particles.resize(static_cast<std::size_t>(capacity));
    // Named, because the object is not yet a PlaneEmitter while this runs: the initial particles of a
    // plane emitter come from the point as well.
    for (int slot = 0; slot < count; ++slot)
        Emitter::Respawn(particles[slot]);
}

Emitter::~Emitter() = default;

math::Vector3f Emitter::SourcePosition() {
    if (parent == nullptr)
        return {};
    const math::Matrix4x4 local = parent->GetLocalMatrix();
    return {local.m[12], local.m[13], local.m[14]};
}

void Emitter::Update(Renderer* renderer) {
    perf::ScopedZone zone(perf::Zone::Particles);
    Simulate(FrameSeconds());
    if (renderer == nullptr || count == 0)
        return;
    const math::Matrix4x4 world = SceneRootWorld(*renderer);
    // The first two columns: the directions the scene root turns into its x and y.
    const math::Vector3f right(world.m[0], world.m[4], world.m[8]);
    const math::Vector3f up(world.m[1], world.m[5], world.m[9]);
    Vertex* vertices = LockVertices<Vertex>(buffers);
    if (vertices == nullptr)
        return;
    WriteQuads(vertices, right, up);
    buffers.vertexBuffer->Unlock();
    SubmitParticles(*renderer, buffers, material, count * kVerticesPerParticle, count * 2, sizeof(Vertex),
                    world);
}

void Emitter::WriteQuads(Vertex* out, const math::Vector3f& right, const math::Vector3f& up) const {
    const int firstRun = std::min(count, capacity - first);
    out = WriteQuadRun(out, particles.data() + first, firstRun, right, up);
    WriteQuadRun(out, particles.data(), count - firstRun, right, up);
}

void Emitter::Simulate(float dt) {
    RunEmissions(emitterClock, dt, emitInterval, capacity, first, [this] { Emit(); });
    const int firstRun = std::min(count, capacity - first);
    for (int i = 0; i < firstRun; ++i)
        UpdateParticle(particles[first + i], dt);
    for (int i = 0; i < count - firstRun; ++i)
        UpdateParticle(particles[i], dt);
}

void Emitter::SkipEmissions(float dt) {
    // Every respawn takes one seed, whatever it does with it; `first` is only bookkeeping of the ring.
    int ringStart = first;
    RunEmissions(emitterClock, dt, emitInterval, capacity, ringStart, [] { RandomFactors taken; });
}

void Emitter::UpdateParticle(Particle& p, float dt) {
    p.age += dt;
    p.color.x += p.colorChange.x * dt;
    p.color.y += p.colorChange.y * dt;
    p.color.z += p.colorChange.z * dt;
    p.color.w += p.colorChange.w * dt;
    p.position.x += p.velocity.x * dt;
    p.position.y += p.velocity.y * dt;
    p.position.z += p.velocity.z * dt;
    p.angle += p.spin * dt;
    p.velocity.x += p.acceleration.x * dt;
    p.velocity.y += p.acceleration.y * dt;
    p.velocity.z += p.acceleration.z * dt;
    p.baseSize += info.sizeChange * dt;
    p.size = p.baseSize;
}

void Emitter::Emit() {
    Respawn(particles[(first + count) % capacity]);
    ++count;
    if (count > capacity) {
        // Kept within the ring, so that the slot arithmetic never overflows in a long run.
        first = (first + 1) % capacity;
        --count;
    }
}

void Emitter::Respawn(Particle& particle) {
    RandomFactors random;
    RespawnAt(particle, SourcePosition(), random);
}

void Emitter::RespawnAt(Particle& particle, const math::Vector3f& position, RandomFactors& random) {
    particle = prototype;
    particle.position = position;
    particle.velocity.x += info.velocityVariance.x * random.Next();
    particle.velocity.y += info.velocityVariance.y * random.Next();
    particle.velocity.z += info.velocityVariance.z * random.Next();
    particle.spin += info.spinVariance * random.Next();
    particle.colorChange.x += info.colorVariance.x * random.Next();
    particle.colorChange.y += info.colorVariance.y * random.Next();
    particle.colorChange.z += info.colorVariance.z * random.Next();
    particle.colorChange.w += info.colorVariance.w * random.Next();
}

// PlaneEmitter

PlaneEmitter::PlaneEmitter(Node* node, const PlaneEmitterInfo& record)
    : Emitter(node, record), planeWidth(record.planeWidth), planeDepth(record.planeDepth) {}

void PlaneEmitter::Respawn(Particle& particle) {
    RandomFactors random;
    math::Vector3f position = SourcePosition();
    position.x += planeWidth * random.Next();
    position.z += planeDepth * random.Next();
    RespawnAt(particle, position, random);
}

// CurveEmitter

CurveEmitter::CurveEmitter(Node* node, const EmitterInfo& record) : info(record) {
    parent = node;
    // Unchecked, more live particles than slots would write rings past the end of the vertex buffer.
    CheckCounts(record);
    LOG_MESSAGE("Creating curve particle emitter");
    if (record.size < 1.0f)
        LOG_MESSAGE("CurveEmitter size is less than one. Skipping.");

    prototype.color = record.color;
    prototype.colorChange = record.colorChange;
    prototype.width = prototype.depth = record.size;
    first = 0;
    count = record.particleCount;
    capacity = record.maxParticles;
    emitInterval = record.emitInterval;

    buffers =
        CreateParticleBuffers(capacity, sizeof(Vertex), kTubePattern, kFirst32BitCapacity, kTubeElements);
    material = MaterialOf(record);
    particles.resize(static_cast<std::size_t>(capacity));
}

CurveEmitter::~CurveEmitter() = default;

void CurveEmitter::RingOfCurrentPose(float width, float depth, math::Vector3f corners[4]) {
    const math::Matrix4x4 local = parent != nullptr ? parent->GetLocalMatrix() : GetLocalMatrix();
    const float* m = local.m;
    const float hw = width * 0.5f;
    const float hd = depth * 0.5f;
    // (x, 0, z) times the rotation block, plus the translation row.
    const auto corner = [m](float x, float z) {
        return math::Vector3f(m[12] + x * m[0] + z * m[8], m[13] + x * m[1] + z * m[9],
                              m[14] + x * m[2] + z * m[10]);
    };
    corners[0] = corner(-hw, -hd);
    corners[1] = corner(-hw, hd);
    corners[2] = corner(hw, hd);
    corners[3] = corner(hw, -hd);
}

void CurveEmitter::Update(Renderer* renderer) {
    perf::ScopedZone zone(perf::Zone::Particles);
    Simulate(FrameSeconds());
    if (renderer == nullptr || count == 0)
        return;
    Vertex* out = LockVertices<Vertex>(buffers);
    if (out == nullptr)
        return;
    for (int i = 0; i + 1 < count; ++i, out += kVerticesPerParticle) {
        const Particle& particle = particles[(first + i) % capacity];
        WriteRing(out, particle.corners, particle.color);
    }
    // The head follows the node where it is now, in the newest particle's colour, with the trail's
    // own width and depth (an initial particle that was never respawned has none).
    math::Vector3f head[4];
    RingOfCurrentPose(prototype.width, prototype.depth, head);
    WriteRing(out, head, particles[(first + count - 1) % capacity].color);
    buffers.vertexBuffer->Unlock();
    // Every link between consecutive rings and the last ring's cross-section; the links of the last
    // ring in the index buffer are never reached.
    SubmitParticles(*renderer, buffers, material, count * kVerticesPerParticle, 10 * count - 8,
                    sizeof(Vertex), SceneRootWorld(*renderer));
}

void CurveEmitter::Simulate(float dt) {
    RunEmissions(curveClock, dt, emitInterval, capacity, first, [this] { Emit(); });
    for (int i = 0; i < count; ++i)
        UpdateParticle(particles[(first + i) % capacity], dt);
}

void CurveEmitter::SkipEmissions(float dt) {
    int ringStart = first;
    RunEmissions(curveClock, dt, emitInterval, capacity, ringStart, [] { RandomFactors taken; });
}

void CurveEmitter::UpdateParticle(Particle& p, float dt) {
    p.color.x += p.colorChange.x * dt;
    p.color.y += p.colorChange.y * dt;
    p.color.z += p.colorChange.z * dt;
    p.color.w += p.colorChange.w * dt;
}

void CurveEmitter::Emit() {
    Respawn(particles[(first + count) % capacity]);
    ++count;
    if (count > capacity) {
        first = (first + 1) % capacity;
        --count;
    }
}

void CurveEmitter::Respawn(Particle& particle) {
    RandomFactors random;
    particle = prototype;
    RingOfCurrentPose(particle.width, particle.depth, particle.corners);
    particle.colorChange.x += info.colorVariance.x * random.Next();
    particle.colorChange.y += info.colorVariance.y * random.Next();
    particle.colorChange.z += info.colorVariance.z * random.Next();
    particle.colorChange.w += info.colorVariance.w * random.Next();
}

} // namespace engine::gfx

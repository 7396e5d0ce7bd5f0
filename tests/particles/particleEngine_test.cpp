// The particle emitters on a recording device: the ring and its emission clocks, the quads and the
// trail written into the vertex buffer, the index buffers and their sizes, every failure row, and
// repeatable random factors.
#include "particles/particleEngine.h"
#include "render/rendererFixture.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <set>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::math::Matrix3x3;
using engine::math::Vector3f;

namespace {

// Remembers the flags of the last lock, so that a test can see the discard.
class FlagBuffer : public FakeBuffer<gpu::VertexBuffer> {
public:
    using FakeBuffer::FakeBuffer;
    gpu::Result Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) override {
        lastFlags = flags;
        return FakeBuffer::Lock(offset, size, data, flags);
    }
    std::uint32_t lastFlags = 0;
};

// Refuses the creations it is told to.
class FaultyDevice : public RecordingDevice {
public:
    using RecordingDevice::RecordingDevice;
    gpu::Result CreateVertexBuffer(std::uint32_t length, std::uint32_t, gpu::VertexBuffer** buffer) override {
        ++creations;
        if (failVertices)
            return gpu::kOutOfVideoMemory;
        *buffer = new FlagBuffer(length);
        return gpu::kOk;
    }
    gpu::Result CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t format,
                                  gpu::IndexBuffer** buffer) override {
        ++creations;
        return failIndices ? gpu::kOutOfVideoMemory
                           : RecordingDevice::CreateIndexBuffer(length, usage, format, buffer);
    }
    gpu::Result CreateVertexDeclaration(const gpu::VertexElement* elements,
                                        gpu::VertexDeclaration** declaration) override {
        ++creations;
        return failDeclaration ? gpu::kInvalidCall
                               : RecordingDevice::CreateVertexDeclaration(elements, declaration);
    }
    bool failVertices = false, failIndices = false, failDeclaration = false;
    int creations = 0;
};

EmitterInfo Record(int maxParticles, int particleCount, float emitInterval) {
    EmitterInfo info;
    info.velocity = {0, 0, 0};
    info.size = 2;
    info.maxParticles = maxParticles;
    info.particleCount = particleCount;
    info.emitInterval = emitInterval;
    return info;
}

Transform Pose(float x, float y, float z, Matrix3x3 rotation = {{1, 0, 0, 0, 1, 0, 0, 0, 1}}) {
    Transform t;
    t.translation = {x, y, z};
    t.rotation = rotation;
    return t;
}
// Rows are the turned axes: 90 degrees about z (x becomes y) and about y (x becomes -z).
constexpr Matrix3x3 kQuarterTurnZ = {{0, 1, 0, -1, 0, 0, 0, 0, 1}};
constexpr Matrix3x3 kQuarterTurnY = {{0, 0, -1, 0, 1, 0, 1, 0, 0}};

template <typename Vertex, typename Owner>
const Vertex* VerticesOf(const Owner& emitter) {
    auto* buffer = dynamic_cast<FakeBuffer<gpu::VertexBuffer>*>(emitter.GetBuffers().vertexBuffer.Get());
    return reinterpret_cast<const Vertex*>(buffer->bytes.data());
}

template <typename Owner>
const FakeIndexBuffer& IndicesOf(const Owner& emitter) {
    return dynamic_cast<const FakeIndexBuffer&>(*emitter.GetBuffers().indexBuffer.Get());
}

template <typename Index>
Index IndexAt(const FakeIndexBuffer& buffer, std::size_t at) {
    Index value;
    std::memcpy(&value, buffer.bytes.data() + at * sizeof(Index), sizeof(Index));
    return value;
}

void ExpectPosition(const float* position, Vector3f expected) {
    EXPECT_FLOAT_EQ(position[0], expected.x);
    EXPECT_FLOAT_EQ(position[1], expected.y);
    EXPECT_FLOAT_EQ(position[2], expected.z);
}

// Counts respawns, which the shortcut for tiny intervals must keep to one per slot.
class CountingEmitter : public Emitter {
public:
    using Emitter::Emitter;
    void Respawn(Particle& particle) override {
        ++respawns;
        Emitter::Respawn(particle);
    }
    int respawns = 0;
};

class ParticleTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        window->device->Release();
        faulty = new FaultyDevice(&calls);
        window->device = device = faulty;
        SetShaderContext(faulty, &renderer);
        ResetEmissionClocks();
        UseRepeatableParticles(1);
        sceneRoot = boost::make_shared<Node>(renderer.GetRootNode().get());
        node = boost::make_shared<Node>(sceneRoot.get());
        sceneRoot->AddChild(node);
        renderer.ClearRoot();
        renderer.AttachToRoot(sceneRoot);
    }
    void TearDown() override {
        UseClockSeededParticles();
        ResetEmissionClocks();
        RendererTest::TearDown();
    }
    // The positions of the live particles, oldest first.
    static std::vector<Vector3f> Positions(const Emitter& emitter) {
        std::vector<Vector3f> positions;
        for (int i = 0; i < emitter.GetCount(); ++i)
            positions.push_back(
                emitter.GetParticle((emitter.GetFirst() + i) % emitter.GetCapacity()).position);
        return positions;
    }

    FaultyDevice* faulty = nullptr;
    boost::shared_ptr<Node> sceneRoot, node;
};

TEST_F(ParticleTest, TheRingEmitsOncePerIntervalAndOverwritesTheOldest) {
    // A full ring with no emission keeps its ten particles: none is ever respawned.
    for (float interval : {0.0f, 0.0001f}) {
        Emitter still(node.get(), Record(10, 10, interval));
        node->SetLocalTransform(Pose(1, 0, 0));
        for (int frame = 0; frame < 5; ++frame)
            still.Simulate(0.7f);
        EXPECT_EQ(still.GetCount(), 10);
        EXPECT_EQ(still.GetFirst(), 0);
        for (int slot = 0; slot < 10; ++slot) {
            EXPECT_FLOAT_EQ(still.GetParticle(slot).position.x, 0.0f);
            EXPECT_FLOAT_EQ(still.GetParticle(slot).age, 3.5f);
        }
        node->SetLocalTransform(Pose(0, 0, 0));
    }

    // Four slots, a quarter of a second apart: three emissions take the three oldest slots, a fourth
    // the last one, and the oldest moves on each time.
    // The emitters above ran the class's clock on without emitting.
    ResetEmissionClocks();
    Emitter ring(node.get(), Record(4, 4, 0.25f));
    node->SetLocalTransform(Pose(2, 0, 0));
    ring.Simulate(0.75f);
    EXPECT_EQ(ring.GetCount(), 4);
    EXPECT_EQ(ring.GetFirst(), 3);
    EXPECT_EQ(Positions(ring)[0].x, 0.0f);
    ring.Simulate(0.25f);
    EXPECT_EQ(ring.GetFirst(), 0);
    for (const Vector3f& position : Positions(ring))
        EXPECT_EQ(position.x, 2.0f);
}

TEST_F(ParticleTest, OneClockPerClassIsSharedByItsEmitters) {
    Emitter point(node.get(), Record(4, 0, 0.5f));
    PlaneEmitterInfo planeRecord;
    static_cast<EmitterInfo&>(planeRecord) = Record(4, 0, 0.5f);
    PlaneEmitter plane(node.get(), planeRecord);
    CurveEmitter trail(node.get(), Record(4, 0, 0.5f));
    point.Simulate(0.3f);
    plane.Simulate(0.3f);
    trail.Simulate(0.3f);
    EXPECT_EQ(point.GetCount(), 0);
    EXPECT_EQ(plane.GetCount(), 1) << "the plane emitter runs on the point emitter's clock";
    EXPECT_EQ(trail.GetCount(), 0) << "the trail has a clock of its own";
    trail.Simulate(0.3f);
    EXPECT_EQ(trail.GetCount(), 1);
}

TEST_F(ParticleTest, ALongFrameAtATinyIntervalRenewsTheRingOnce) {
    CountingEmitter emitter(node.get(), Record(30, 0, 0.00011f));
    emitter.Simulate(0.7f);
    // 6363 emissions: 30 fill the ring, the other 6333 turn it.
    EXPECT_EQ(emitter.respawns, 30);
    EXPECT_EQ(emitter.GetCount(), 30);
    EXPECT_EQ(emitter.GetFirst(), 6333 % 30);
    // What is left on the clock is less than one interval.
    emitter.Simulate(0.0f);
    EXPECT_EQ(emitter.respawns, 30);
    emitter.Simulate(0.00011f);
    EXPECT_EQ(emitter.respawns, 31);
}

TEST_F(ParticleTest, QuadsFaceTheSceneRootsAxes) {
    EmitterInfo record = Record(1, 1, 0);
    record.color = {0.25f, 0.5f, 0.75f, 1};
    record.effect = MakeEffect({MakeShader("S")});
    node->SetLocalTransform(Pose(3, 4, 5));
    Emitter emitter(node.get(), record);
    auto* buffer = dynamic_cast<FlagBuffer*>(emitter.GetBuffers().vertexBuffer.Get());
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->Length(), 144u);

    // Size 2, no spin: under an identity root the quad spans -1..+1 around the particle.
    const int creations = faulty->creations;
    emitter.Update(&renderer);
    EXPECT_EQ(faulty->creations, creations) << "buffers are made once, at construction";
    EXPECT_EQ(buffer->lastFlags, gpu::LockDiscard);
    const auto* v = VerticesOf<Emitter::Vertex>(emitter);
    ExpectPosition(v[0].position, {2, 3, 5});
    ExpectPosition(v[1].position, {2, 5, 5});
    ExpectPosition(v[2].position, {4, 5, 5});
    ExpectPosition(v[3].position, {4, 3, 5});
    const float corners[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v[i].corner[0], corners[i][0]);
        EXPECT_EQ(v[i].corner[1], corners[i][1]);
        EXPECT_EQ(v[i].color[1], 0.5f);
    }
    ASSERT_EQ(renderer.GetQueue().size(), 1u);
    const RenderObject& object = *renderer.GetQueue()[0].object;
    EXPECT_EQ(object.numVertices, 4);
    EXPECT_EQ(object.primitiveCount, 2);
    EXPECT_EQ(object.stride, 36);
    EXPECT_EQ(object.vertexBuffer, buffer);
    EXPECT_EQ(object.indexBuffer, emitter.GetBuffers().indexBuffer.Get());
    EXPECT_EQ(object.declaration, emitter.GetBuffers().declaration.Get());
    EXPECT_EQ(object.material->effect, record.effect);

    // A root turned a quarter about z: the quad's right is the root's -y, its up the root's x, so that
    // through the root's matrix it faces the screen again.
    sceneRoot->SetLocalTransform(Pose(0, 0, 0, kQuarterTurnZ));
    emitter.Update(&renderer);
    ExpectPosition(v[0].position, {2, 5, 5});
    ExpectPosition(v[1].position, {4, 5, 5});
    ExpectPosition(v[2].position, {4, 3, 5});
    ExpectPosition(v[3].position, {2, 3, 5});
    EXPECT_EQ(renderer.GetQueue().back().object->world.m[1], 1.0f);
}

TEST_F(ParticleTest, QuadsTurnByTheirAngleInEveryQuadrant) {
    // One second at each spin turns the quad by that many radians, past every quadrant, both ways, and
    // beyond the range where the sine and cosine take the library's way.
    for (float spin : {0.7f, 2.0f, -2.5f, 4.0f, 5.5f, -100.0f, 10000.0f, -20000.0f}) {
        EmitterInfo record = Record(1, 1, 0);
        record.spin = spin;
        Emitter emitter(node.get(), record);
        emitter.Simulate(1.0f);
        emitter.Update(&renderer);
        const double angle = emitter.GetParticle(0).angle;
        const auto ca = static_cast<float>(std::cos(angle));
        const auto sa = static_cast<float>(std::sin(angle));
        const float* first = VerticesOf<Emitter::Vertex>(emitter)[0].position;
        const float* third = VerticesOf<Emitter::Vertex>(emitter)[2].position;
        EXPECT_NEAR(first[0], -ca - sa, 1e-6f) << spin;
        EXPECT_NEAR(first[1], sa - ca, 1e-6f) << spin;
        EXPECT_NEAR(third[0], ca + sa, 1e-6f) << spin;
        EXPECT_NEAR(third[1], ca - sa, 1e-6f) << spin;
    }
}

TEST_F(ParticleTest, ThePlaneIsARectangleThatDoesNotTurnWithTheNode) {
    PlaneEmitterInfo record;
    static_cast<EmitterInfo&>(record) = Record(400, 0, 0.01f);
    record.planeWidth = 2;
    record.planeDepth = 3;
    node->SetLocalTransform(Pose(10, 1, 20, kQuarterTurnY));
    PlaneEmitter emitter(node.get(), record);
    emitter.Simulate(4.1f);
    ASSERT_EQ(emitter.GetCount(), 400);
    float low[3] = {1e9f, 1e9f, 1e9f}, high[3] = {-1e9f, -1e9f, -1e9f};
    for (const Vector3f& p : Positions(emitter)) {
        const float at[3] = {p.x, p.y, p.z};
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], at[axis]);
            high[axis] = std::max(high[axis], at[axis]);
        }
    }
    EXPECT_GE(low[0], 8.0f);
    EXPECT_LT(low[0], 8.2f);
    EXPECT_LE(high[0], 12.0f);
    EXPECT_GT(high[0], 11.8f);
    EXPECT_EQ(low[1], 1.0f);
    EXPECT_EQ(high[1], 1.0f);
    EXPECT_GE(low[2], 17.0f);
    EXPECT_LT(low[2], 17.3f);
    EXPECT_LE(high[2], 23.0f);
    EXPECT_GT(high[2], 22.7f);
}

TEST_F(ParticleTest, TheTrailJoinsPastPosesAndItsHeadFollowsTheNode) {
    EmitterInfo record = Record(3, 0, 0.5f);
    record.color = {0.1f, 0.2f, 0.3f, 1};
    record.colorChange = {1, 0, 0, 0};
    record.effect = MakeEffect({MakeShader("S")});
    CurveEmitter trail(node.get(), record);
    trail.Simulate(0.5f);
    node->SetLocalTransform(Pose(1, 0, 0));
    trail.Simulate(0.5f);
    node->SetLocalTransform(Pose(2, 0, 0));
    trail.Simulate(0.5f);
    // The newest ring, stored at x = 2, gives way to the node's pose now.
    node->SetLocalTransform(Pose(5, 0, 0, kQuarterTurnY));
    trail.Update(&renderer);

    const auto* v = VerticesOf<CurveEmitter::Vertex>(trail);
    const Vector3f expected[12] = {{-1, 0, -1}, {-1, 0, 1}, {1, 0, 1}, {1, 0, -1}, {0, 0, -1}, {0, 0, 1},
                                   {2, 0, 1},   {2, 0, -1}, {4, 0, 1}, {6, 0, 1},  {6, 0, -1}, {4, 0, -1}};
    for (int i = 0; i < 12; ++i)
        ExpectPosition(v[i].position, expected[i]);
    EXPECT_FLOAT_EQ(v[0].color[0], 1.6f);
    EXPECT_FLOAT_EQ(v[4].color[0], 1.1f);
    EXPECT_FLOAT_EQ(v[8].color[0], 0.6f) << "the head takes the newest particle's colour";
    ASSERT_EQ(renderer.GetQueue().size(), 1u);
    const RenderObject& object = *renderer.GetQueue()[0].object;
    EXPECT_EQ(object.numVertices, 12);
    EXPECT_EQ(object.primitiveCount, 22);
    EXPECT_EQ(object.stride, 28);
}

TEST_F(ParticleTest, IndexBuffersRepeatTheirPatternAndWidenAtTheirLimits) {
    const Emitter narrow(node.get(), Record(16383, 0, 0));
    const Emitter wide(node.get(), Record(16384, 0, 0));
    EXPECT_EQ(narrow.GetBuffers().vertexBuffer->Length(), 16383u * 144);
    EXPECT_EQ(IndicesOf(narrow).GetFormat(), gpu::FormatIndex16);
    EXPECT_EQ(IndicesOf(narrow).Length(), 16383u * 12);
    EXPECT_EQ(IndicesOf(wide).GetFormat(), gpu::FormatIndex32);
    EXPECT_EQ(IndicesOf(wide).Length(), 16384u * 24);
    const std::uint32_t quad[] = {0, 1, 2, 2, 3, 0};
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(IndexAt<std::uint16_t>(IndicesOf(narrow), k + 6), 4 + quad[k]);
        EXPECT_EQ(IndexAt<std::uint16_t>(IndicesOf(narrow), 16382 * 6 + k), 65528 + quad[k]);
        EXPECT_EQ(IndexAt<std::uint32_t>(IndicesOf(wide), 16383 * 6 + k), 65532 + quad[k]);
    }
    const std::vector<gpu::VertexElement>& quadElements = narrow.GetBuffers().declaration->Elements();
    ASSERT_EQ(quadElements.size(), 3u);
    EXPECT_EQ(quadElements[2].offset, 20);
    EXPECT_EQ(quadElements[2].type, gpu::DeclFloat4);
    EXPECT_EQ(quadElements[2].usage, gpu::UsageTexCoord);
    EXPECT_EQ(quadElements[2].usageIndex, 1);

    const CurveEmitter shortTrail(node.get(), Record(1000, 0, 0));
    const CurveEmitter longTrail(node.get(), Record(1001, 0, 0));
    EXPECT_EQ(longTrail.GetBuffers().vertexBuffer->Length(), 1001u * 112);
    EXPECT_EQ(IndicesOf(shortTrail).GetFormat(), gpu::FormatIndex16);
    EXPECT_EQ(IndicesOf(shortTrail).Length(), 1000u * 60);
    EXPECT_EQ(IndicesOf(longTrail).GetFormat(), gpu::FormatIndex32);
    EXPECT_EQ(IndicesOf(longTrail).Length(), 1001u * 120);
    const std::uint32_t tube[] = {0, 1, 2, 2, 3, 0, 2, 6, 3, 3, 7, 6, 1, 5, 6,
                                  6, 2, 1, 1, 0, 5, 5, 0, 4, 4, 0, 7, 7, 0, 3};
    for (std::size_t k = 0; k < 30; ++k) {
        EXPECT_EQ(IndexAt<std::uint16_t>(IndicesOf(shortTrail), 30 + k), 4 + tube[k]);
        // The last ring's links, never drawn, wrap onto the first ring.
        EXPECT_EQ(IndexAt<std::uint32_t>(IndicesOf(longTrail), 1000 * 30 + k), (4000 + tube[k]) % 4004);
    }
    const std::vector<gpu::VertexElement>& tubeElements = shortTrail.GetBuffers().declaration->Elements();
    ASSERT_EQ(tubeElements.size(), 2u);
    EXPECT_EQ(tubeElements[1].offset, 12);
    EXPECT_EQ(tubeElements[1].type, gpu::DeclFloat4);
    EXPECT_EQ(tubeElements[1].usageIndex, 0);
}

TEST_F(ParticleTest, EveryFailureEndsInItsErrorRow) {
    const auto error = [&](auto make) { return log.ExpectError(make); };
    EXPECT_EQ(error([&] { Emitter(node.get(), Record(10, 11, 1)); }),
              "Emitter cannot store so many particles: 11/10");
    EXPECT_EQ(error([&] { CurveEmitter(node.get(), Record(10, 11, 1)); }),
              "Emitter cannot store so many particles: 11/10");
    EXPECT_EQ(error([&] { Emitter(node.get(), Record(10, -1, 1)); }),
              "Emitter cannot start with a negative particle count: -1");
    EXPECT_EQ(error([&] { Emitter(node.get(), Record(0, 0, 1)); }),
              "Failed to create a particle vertex buffer");
    // More slots than a buffer's 32-bit length can hold.
    EXPECT_EQ(error([&] { Emitter(node.get(), Record(30000000, 0, 1)); }),
              "Failed to create a particle vertex buffer");

    faulty->failVertices = true;
    EXPECT_EQ(error([&] { Emitter(node.get(), Record(10, 0, 1)); }),
              "Failed to create a particle vertex buffer");
    EXPECT_EQ(error([&] { CurveEmitter(node.get(), Record(10, 0, 1)); }),
              "Failed to create a particle vertex buffer");
    faulty->failVertices = false;
    faulty->failIndices = true;
    EXPECT_EQ(error([&] { Emitter(node.get(), Record(16383, 0, 1)); }),
              "Failed to create a 16bit particle index buffer");
    EXPECT_EQ(error([&] { Emitter(node.get(), Record(16384, 0, 1)); }),
              "Failed to create a 32bit particle index buffer");
    EXPECT_EQ(error([&] { CurveEmitter(node.get(), Record(1000, 0, 1)); }),
              "Failed to create a 16bit particle index buffer");
    EXPECT_EQ(error([&] { CurveEmitter(node.get(), Record(1001, 0, 1)); }),
              "Failed to create a 32bit particle index buffer");
    faulty->failIndices = false;
    faulty->failDeclaration = true;
    EXPECT_EQ(error([&] { Emitter(node.get(), Record(10, 0, 1)); }), "Failed creating vertex declaration");
    EXPECT_EQ(error([&] { CurveEmitter(node.get(), Record(10, 0, 1)); }),
              "Failed creating vertex declaration");
    faulty->failDeclaration = false;

    // A small size is only noted.
    EmitterInfo small = Record(1, 0, 1);
    small.size = 0.5f;
    Emitter emitter(node.get(), small);
    CurveEmitter trail(node.get(), small);
    const std::vector<std::string> messages = Rows(log.CloseAndRead(), "MESSAGE");
    EXPECT_EQ(messages, (std::vector<std::string>{"Creating particle emitter",
                                                  "Emitter size is less than one. Skipping.",
                                                  "Creating curve particle emitter",
                                                  "CurveEmitter size is less than one. Skipping."}));
}

// Every float of every slot, as bits.
std::vector<std::uint32_t> Bits(const Emitter& emitter) {
    std::vector<std::uint32_t> bits;
    for (int slot = 0; slot < emitter.GetCapacity(); ++slot) {
        const Emitter::Particle& p = emitter.GetParticle(slot);
        for (float value :
             {p.position.x, p.position.y, p.position.z, p.velocity.x, p.velocity.y, p.velocity.z,
              p.colorChange.x, p.colorChange.w, p.color.x, p.spin, p.angle, p.size})
            bits.push_back(std::bit_cast<std::uint32_t>(value));
    }
    return bits;
}

TEST_F(ParticleTest, ARepeatableRunGivesTheSameParticlesBitForBit) {
    PlaneEmitterInfo record;
    static_cast<EmitterInfo&>(record) = Record(40, 5, 0.05f);
    record.velocity = {0, 10, 0};
    record.velocityVariance = {4, 3, 4};
    record.acceleration = {0, -9.8f, 0};
    record.colorVariance = {0.5f, 0.5f, 0.5f, 0.5f};
    record.colorChange = {-0.2f, 0.1f, 0, -0.5f};
    record.spinVariance = 3;
    record.sizeChange = 0.5f;
    record.planeWidth = 2;
    record.planeDepth = 1;
    const auto run = [&](std::uint32_t seed) {
        UseRepeatableParticles(seed);
        ResetEmissionClocks();
        PlaneEmitter emitter(node.get(), record);
        for (int frame = 0; frame < 90; ++frame)
            emitter.Simulate(1.0f / 30.0f);
        return Bits(emitter);
    };
    const std::vector<std::uint32_t> first = run(7);
    EXPECT_EQ(run(7), first);
    EXPECT_NE(run(8), first);
    // The factors do vary from particle to particle.
    std::set<std::uint32_t> velocitiesX;
    for (std::size_t at = 3; at < first.size(); at += 12)
        velocitiesX.insert(first[at]);
    EXPECT_GT(velocitiesX.size(), 30u);
}

} // namespace

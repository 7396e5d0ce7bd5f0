// The array modifier on the recording device: the copies it enumerates, the vertices and normals it
// writes, the index buffer it picks and fills, the records it refuses and its buffer ERROR rows.
#include "math/operators.h"
#include "math/transforms.h"
#include "particles/arrayModifier.h"
#include "render/rendererFixture.h"
#include "resources/TVOMesh.h"
#include "scene/geometry.h"

#include <cmath>
#include <cstring>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::math::Matrix3x3;
using engine::math::Matrix4x4;
using engine::math::Vector3f;
using engine::math::operator*;

namespace {

class FailingDevice : public RecordingDevice {
public:
    using RecordingDevice::RecordingDevice;
    gpu::Result CreateVertexBuffer(std::uint32_t length, std::uint32_t usage,
                                   gpu::VertexBuffer** out) override {
        return failVertexBuffer ? gpu::kOutOfVideoMemory
                                : RecordingDevice::CreateVertexBuffer(length, usage, out);
    }
    gpu::Result CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t format,
                                  gpu::IndexBuffer** out) override {
        return failIndexBuffer ? gpu::kOutOfVideoMemory
                               : RecordingDevice::CreateIndexBuffer(length, usage, format, out);
    }
    bool failVertexBuffer = false, failIndexBuffer = false;
};

Transform Pose(Vector3f translation, float angleZ = 0.0f) {
    Transform t;
    t.translation = translation;
    t.rotation = engine::math::MatrixRotationAxis({0, 0, 1}, angleZ).GetRotation();
    return t;
}

float Distance(const Matrix4x4& a, const Matrix4x4& b) {
    float most = 0.0f;
    for (int i = 0; i < 16; ++i)
        most = std::max(most, std::abs(a.m[i] - b.m[i]));
    return most;
}

float Dot(Vector3f a, Vector3f b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector3f Cross(Vector3f a, Vector3f b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Steps by the offset node's pose when there is one, by the offset when it is not zero.
engine::ArrayEntry Entry(int count, Spatial* offsetNode, Vector3f offset = {}) {
    return {offset, offsetNode, count, offset.MagSquared() > 0.0f, offsetNode != nullptr};
}

class ArrayModifierTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        window->device->Release();
        window->device = device = failing = new FailingDevice(&calls);
        base = boost::make_shared<Node>(renderer.GetRootNode().get());
        renderer.AttachToRoot(base);
    }

    boost::shared_ptr<TVOMesh> MakeMesh(std::vector<Vector3f> positions,
                                        const std::vector<std::uint32_t>& indices, int indexSize = 2) {
        auto mesh = boost::make_shared<TVOMesh>();
        mesh->positions = std::move(positions);
        mesh->indexCount = static_cast<int>(indices.size());
        mesh->indexSize = indexSize;
        for (std::uint32_t index : indices)
            mesh->indices.insert(mesh->indices.end(), reinterpret_cast<std::uint8_t*>(&index),
                                 reinterpret_cast<std::uint8_t*>(&index) + indexSize);
        mesh->material = boost::make_shared<Material>();
        mesh->material->effect = MakeEffect({MakeShader("S")});
        return mesh;
    }
    boost::shared_ptr<TVOMesh> Triangle() { return MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}); }

    // A node holding a Geometry; without a mesh it only lends its node's pose, as offset objects do.
    boost::shared_ptr<Node> Holder(boost::shared_ptr<Mesh> mesh, Transform pose = {}) {
        auto node = boost::make_shared<Node>(base.get());
        node->SetLocalTransform(pose);
        node->AddChild(boost::make_shared<Geometry>(std::move(mesh), node.get()));
        base->AddChild(node);
        return node;
    }

    boost::shared_ptr<ArrayModifier> Attach(Spatial* object, std::vector<engine::ArrayEntry> entries) {
        ArrayModifierInfo record;
        if (!ConvertArrayInfo({object, std::move(entries)}, record))
            return {};
        auto modifier = boost::make_shared<ArrayModifier>(record, base.get());
        base->AddChild(modifier);
        renderer.GetRootNode()->Update(&renderer);
        return modifier;
    }

    // Three floats from `at` on of written vertex i (copy k's vertex v is k * vertexCount + v).
    static Vector3f Written(const ArrayModifier& modifier, int i, int at = 0) {
        auto* buffer = dynamic_cast<FakeBuffer<gpu::VertexBuffer>*>(modifier.GetVertexBuffer());
        float xyz[3];
        std::memcpy(xyz, buffer->bytes.data() + i * modifier.GetStride() + at * 4, 12);
        return {xyz[0], xyz[1], xyz[2]};
    }

    static std::vector<std::uint32_t> Indices(const ArrayModifier& modifier) {
        auto* buffer = dynamic_cast<FakeIndexBuffer*>(modifier.GetIndexBuffer());
        const int width = buffer->GetFormat() == gpu::FormatIndex32 ? 4 : 2;
        std::vector<std::uint32_t> out(buffer->bytes.size() / width);
        for (std::size_t i = 0; i < out.size(); ++i)
            std::memcpy(&out[i], buffer->bytes.data() + i * width, width);
        return out;
    }

    FailingDevice* failing = nullptr;
    boost::shared_ptr<Node> base;
};

TEST_F(ArrayModifierTest, AnObjectOffsetOfCountHundredGivesItsPowersFromThisFramesPoses) {
    auto mesh = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {0, 1, 2, 2, 1, 3});
    mesh->normals = std::vector<Vector3f>(4, {0, 0, -2});
    mesh->texCoords = std::vector<TVOTexCoord>(4, {0.25f, 0.75f});
    auto object = Holder(mesh, Pose({2, 1, 5}, 0.3f));
    auto offset = Holder(nullptr, Pose({2.5f, 1, 5}, 0.35f));
    auto modifier = Attach(object.get(), {Entry(100, offset.get())});
    ASSERT_TRUE(modifier);

    // Copy 1 stands where the offset object does; every further copy takes one more step.
    const std::vector<Matrix4x4>& copies = modifier->GetCopies();
    ASSERT_EQ(copies.size(), 100u);
    EXPECT_LT(Distance(copies[0], Matrix4x4::Identity), 1e-6f);
    EXPECT_LT(Distance(copies[1] * object->GetLocalMatrix(), offset->GetLocalMatrix()), 1e-5f);
    for (int j = 2; j < 100; ++j)
        EXPECT_LT(Distance(copies[j], copies[j - 1] * copies[1]), 1e-3f) << j;
    const Vector3f last = Written(*modifier, 99 * 4 + 3), expected = Vector3f(1, 1, 0) * copies[99];
    EXPECT_LT(Vector3f::Dist(last, expected), 1e-4f);
    EXPECT_LT(Vector3f::Dist(Written(*modifier, 99 * 4 + 3, 3), {0, 0, -1}), 1e-4f);

    // One object for all copies besides the object's own, with its material, from its place.
    ASSERT_EQ(renderer.GetQueue().size(), 2u);
    const RenderObject& drawn = *renderer.GetQueue()[1].object;
    EXPECT_EQ(drawn.vertexBuffer, modifier->GetVertexBuffer());
    EXPECT_EQ(drawn.numVertices, 400);
    EXPECT_EQ(drawn.primitiveCount, 200);
    EXPECT_EQ(drawn.stride, 32);
    EXPECT_EQ(drawn.material, mesh->material);
    EXPECT_LT(Distance(drawn.world, object->GetWorldMatrix()), 1e-6f);
    const auto& elements = dynamic_cast<FakeDeclaration*>(drawn.declaration)->elements;
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(elements[1].usage, gpu::UsageNormal);
    EXPECT_EQ(elements[2].offset, 24);

    offset->SetLocalTransform(Pose({2, 3, 5}, 0.3f));
    renderer.GetRootNode()->Update(&renderer);
    EXPECT_LT(Distance(modifier->GetCopies()[1] * object->GetLocalMatrix(), offset->GetLocalMatrix()), 1e-5f);
}

TEST_F(ArrayModifierTest, DimensionsMultiplyFirstEntryFastestAndTranslateBeforeTheOffsetObject) {
    auto object = Holder(Triangle());
    auto quarterTurn = Holder(nullptr, Pose({}, std::acos(0.0f)));
    // The middle entry has no flag set, so it is no dimension.
    auto modifier = Attach(object.get(),
                           {Entry(3, nullptr, {1, 0, 0}), Entry(7, nullptr), Entry(4, nullptr, {0, 10, 0})});
    ASSERT_TRUE(modifier);
    EXPECT_EQ(modifier->GetCopyCount(), 12);
    for (int j1 = 0; j1 < 4; ++j1)
        for (int j0 = 0; j0 < 3; ++j0)
            EXPECT_LT(Vector3f::Dist(modifier->GetCopies()[j0 + 3 * j1].GetTranslation(),
                                     {1.0f * j0, 10.0f * j1, 0}),
                      1e-5f);

    // (1, 0, 0) first, then turned a quarter about z.
    auto both = Attach(object.get(), {Entry(2, quarterTurn.get(), {1, 0, 0})});
    EXPECT_LT(Vector3f::Dist(both->GetCopies()[1].GetTranslation(), {0, 1, 0}), 1e-5f);
}

TEST_F(ArrayModifierTest, NormalsOfStretchedAndMirroredCopiesAreUnitAndPerpendicularToTheirSurface) {
    // A slanted triangle whose normals are stored twice too long.
    auto mesh = MakeMesh({{0, 0, 0}, {1, 0, 1}, {0, 1, 1}}, {0, 1, 2});
    const Vector3f face = Cross({1, 0, 1}, {0, 1, 1});
    mesh->normals = std::vector<Vector3f>(3, face * (2.0f / face.Mag()));
    auto object = Holder(mesh);
    for (float mirror : {1.0f, -1.0f}) {
        // Turned, stretched along x (mirrored too, the second time) and moved: the move must not reach
        // the normals, and a mirror turns the winding of the surface against its normals.
        Transform stretched = Pose({4, 5, 6}, 0.5f);
        for (int row = 0; row < 3; ++row)
            stretched.rotation.m[3 * row] *= 3.0f * mirror;
        auto modifier = Attach(object.get(), {Entry(2, Holder(nullptr, stretched).get())});
        ASSERT_TRUE(modifier);
        const Vector3f a = Written(*modifier, 3), b = Written(*modifier, 4), c = Written(*modifier, 5);
        const Vector3f surface = Cross(b + -a, c + -a);
        for (int v = 3; v < 6; ++v) {
            const Vector3f normal = Written(*modifier, v, 3);
            EXPECT_NEAR(normal.Mag(), 1.0f, 1e-5f) << v;
            EXPECT_NEAR(Dot(normal, surface) / surface.Mag(), mirror, 1e-5f) << v;
        }
    }
}

TEST_F(ArrayModifierTest, IndexWidthFollowsTheVerticesOfAllCopiesAndIndicesStepPerCopy) {
    // One vertex per copy, so all copies have as many vertices as there are copies.
    auto point = Holder(MakeMesh({{0, 0, 0}}, {0, 0, 0}));
    auto atLimit = Attach(point.get(), {Entry(65536, nullptr, {1, 0, 0})});
    EXPECT_EQ(atLimit->GetIndexBuffer()->GetFormat(), gpu::FormatIndex16);
    EXPECT_EQ(Indices(*atLimit).back(), 65535u);
    auto beyond = Attach(point.get(), {Entry(65537, nullptr, {1, 0, 0})});
    EXPECT_EQ(beyond->GetIndexBuffer()->GetFormat(), gpu::FormatIndex32);
    EXPECT_EQ(Indices(*beyond).size(), 3u * 65537);
    EXPECT_EQ(Indices(*beyond).back(), 65536u);

    auto wide = Holder(MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {2, 1, 0}, 4));
    auto narrowed = Attach(wide.get(), {Entry(2, nullptr, {1, 0, 0})});
    EXPECT_EQ(narrowed->GetIndexBuffer()->GetFormat(), gpu::FormatIndex16);
    EXPECT_EQ(Indices(*narrowed), (std::vector<std::uint32_t>{2, 1, 0, 5, 4, 3}));
}

TEST_F(ArrayModifierTest, BuffersTheDeviceRefusesGiveTheirErrorRows) {
    auto point = Holder(MakeMesh({{0, 0, 0}}, {0, 0, 0}));
    const auto build = [&](int count) { Attach(point.get(), {Entry(count, nullptr, {1, 0, 0})}); };
    failing->failVertexBuffer = true;
    EXPECT_EQ(log.ExpectError([&] { build(2); }), "Failed to create array modifier vertex buffer");
    failing->failVertexBuffer = false;
    failing->failIndexBuffer = true;
    EXPECT_EQ(log.ExpectError([&] { build(65536); }), "Failed to create a 16bit array modifier index buffer");
    try {
        build(65537);
        ADD_FAILURE() << "a refused 32-bit index buffer did not fail";
    } catch (const engine::core::Exception& e) {
        EXPECT_EQ(e.GetText(), L"Failed to create a 32bit array modifier index buffer");
        EXPECT_EQ(e.GetFunction().rfind(L"engine/particles/arrayModifier.cpp:", 0), 0u);
    }
}

TEST_F(ArrayModifierTest, RecordsThatCannotBeDrawnAreRefusedWithOneWarningEach) {
    auto object = Holder(Triangle());
    auto childless = boost::make_shared<Node>(base.get());
    auto group = boost::make_shared<Node>(base.get());
    group->AddChild(childless);
    engine::ArrayEntry missing = Entry(2, nullptr);
    missing.useObjectOffset = true;
    const std::vector<std::pair<engine::ArrayInfo, std::string>> refused = {
        {{nullptr, {}}, "Array modifier has no object"},
        {{childless.get(), {}}, "Array modifier object has no child"},
        {{object.get(), {Entry(3, childless.get())}}, "Array modifier offset object of entry 0 has no child"},
        {{object.get(), {Entry(0, nullptr), missing}}, "Array modifier entry 1 has no offset object"},
        {{group.get(), {}}, "Array modifier object's first child is not a mesh object"},
        {{Holder(boost::make_shared<TVOMesh>()).get(), {}},
         "Array modifier object's mesh has no vertex positions or indices on the CPU"},
        {{object.get(), {Entry(0, nullptr, {1, 0, 0})}},
         "Array modifier entry 0 has count 0; every dimension needs at least one copy"},
        {{object.get(), {Entry(65536, nullptr, {1, 0, 0}), Entry(65536, nullptr, {0, 1, 0})}},
         "Array modifier of over 2147483647 copies of 3 vertices and 3 indices does not fit in one buffer"},
    };
    ArrayModifierInfo record;
    std::vector<std::string> reasons;
    for (const auto& [info, reason] : refused) {
        EXPECT_FALSE(ConvertArrayInfo(info, record)) << reason;
        reasons.push_back(reason);
    }
    EXPECT_EQ(Rows(log.CloseAndRead(), "WARNING"), reasons);

    // A record made by hand is checked as strictly, with an ERROR row.
    ASSERT_TRUE(ConvertArrayInfo({object.get(), {}}, record));
    record.entries = {{Vector3f(), nullptr, 2, false, true}};
    EXPECT_EQ(log.ExpectError([&] { ArrayModifier modifier(record, base.get()); }),
              "Array modifier entry 0 has no offset object");
}

} // namespace

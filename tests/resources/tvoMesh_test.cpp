// The .tvo mesh resource on a recording device: the material from a built-in key, the stream check, the
// interleaved vertex buffer, index buffer and declaration for every stream combination, textures by
// slot, and what a missing device or an unknown built-in effect gives.
#include "core/kernel.h"
#include "core/textConversion.h"
#include "formats/tvoWriter.h"
#include "platform/window.h"
#include "render/effect.h"
#include "render/effectPool.h"
#include "render/material.h"
#include "render/recordingDevice.h"
#include "render/renderObject.h"
#include "render/shader.h"
#include "resources/TVOMesh.h"
#include "resources/resourceTypes.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

using namespace quorvel::test;
using engine::core::CWin32Window;
using engine::core::Exception;
using engine::core::ResourceManager;
using engine::gfx::EffectPool;
using engine::gfx::TVOMesh;
using quorvel::formats::Float2;
using quorvel::formats::Float3;
using quorvel::formats::TVOWriter;

namespace {

const std::vector<Float3> kPositions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
const std::vector<Float3> kNormals = {{0, 0, -1}, {0, 0, -2}, {0, 0, -3}};
const std::vector<Float2> kTexCoords = {{0.25f, 0.5f}, {1, 0}, {0, 1}};

class TVOMeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = new RecordingDevice(&calls);
        CWin32Window::Get()->device = device;
    }
    void TearDown() override {
        delete ResourceManager::mInstance;
        delete EffectPool::mInstance;
        engine::gfx::SetShaderContext(nullptr, nullptr);
        delete engine::core::Kernel::mInstance;
        delete CWin32Window::mInstance;
    }

    boost::shared_ptr<TVOMesh> Load(const TVOWriter& file, const std::string& name = "data/mesh.tvo") {
        file.Save(name);
        return ResourceManager::Get()->GetResource<TVOMesh>(engine::core::NarrowToWide(name));
    }
    // The text of the exception the load throws, after checking that its ERROR row reached the log.
    std::string LoadError(const TVOWriter& file) {
        return log.ExpectError([&] { Load(file); });
    }
    int Count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

    static TVOWriter Mesh(int builtin, bool withNormals, bool withTexCoords,
                          const std::vector<std::string>& textures = {}) {
        TVOWriter file;
        file.Material(builtin, textures);
        file.Positions(kPositions);
        if (withNormals)
            file.Normals(kNormals);
        if (withTexCoords)
            file.TexCoords(kTexCoords);
        file.Indices(2, {0, 1, 2, 2, 1, 0});
        file.End();
        return file;
    }

    ScopedLogDirectory log;
    std::vector<std::string> calls;
    RecordingDevice* device = nullptr;
};

std::vector<float> Floats(const gpu::VertexBuffer* buffer) {
    const auto& bytes = static_cast<const FakeBuffer<gpu::VertexBuffer>*>(buffer)->bytes;
    std::vector<float> values(bytes.size() / 4);
    std::memcpy(values.data(), bytes.data(), bytes.size());
    return values;
}

} // namespace

TEST_F(TVOMeshTest, PositionsAndIndicesWithBuiltinWireframe) {
    auto mesh = Load(Mesh(2, false, false));
    EXPECT_TRUE(mesh->loaded);
    EXPECT_EQ(mesh->stride, 12);
    EXPECT_EQ(mesh->vertexCount, 3);
    EXPECT_EQ(mesh->primitiveCount, 2);
    EXPECT_FALSE(mesh->index32);
    ASSERT_TRUE(mesh->material);
    EXPECT_EQ(mesh->material->effect, EffectPool::Get()->GetBuiltin(2));
    ASSERT_TRUE(mesh->declaration);
    const auto& elements = mesh->declaration->Elements();
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_EQ(elements[0].usage, gpu::UsagePosition);
    EXPECT_EQ(elements[0].type, gpu::DeclFloat3);
    EXPECT_EQ(Floats(mesh->vertexBuffer.Get()), (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}));
    const auto* indices = static_cast<const FakeIndexBuffer*>(mesh->indexBuffer.Get());
    EXPECT_EQ(indices->GetFormat(), gpu::FormatIndex16);
    EXPECT_EQ(indices->bytes, (std::vector<std::uint8_t>{0, 0, 1, 0, 2, 0, 2, 0, 1, 0, 0, 0}));

    // A second request shares the loaded mesh; the render object shares its buffers and material.
    EXPECT_EQ(ResourceManager::Get()->GetResource<TVOMesh>(L"data/mesh.tvo"), mesh);
    EXPECT_EQ(Count("CreateVertexBuffer"), 1);
    auto object = mesh->CreateRenderObject();
    EXPECT_EQ(object->vertexBuffer, mesh->vertexBuffer.Get());
    EXPECT_EQ(object->declaration, mesh->declaration.Get());
    EXPECT_EQ(object->stride, 12);
    EXPECT_EQ(object->primitiveCount, 2);
    EXPECT_EQ(object->material, mesh->material);
    EXPECT_EQ(CountRows(log.CloseAndRead(), "MESSAGE", "Loading .tvo mesh data/mesh.tvo"), 1);
}

struct StreamCase {
    bool normals, texCoords;
    int stride;
    std::vector<float> firstVertex;
};

class TVOMeshStreams : public TVOMeshTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(TVOMeshStreams, InterleaveThePresentComponentsInDeclarationOrder) {
    const StreamCase& c = GetParam();
    auto mesh = Load(Mesh(2, c.normals, c.texCoords));
    EXPECT_EQ(mesh->stride, c.stride);
    const std::vector<float> vertices = Floats(mesh->vertexBuffer.Get());
    ASSERT_EQ(vertices.size(), 3u * c.stride / 4);
    EXPECT_EQ(std::vector<float>(vertices.begin(), vertices.begin() + c.stride / 4), c.firstVertex);
    // The last vertex ends the buffer with its last component.
    EXPECT_FLOAT_EQ(vertices.back(), c.texCoords ? 1.0f : c.normals ? -3.0f : 0.0f);

    std::vector<std::pair<int, int>> expected = {{gpu::UsagePosition, 0}};
    if (c.normals)
        expected.push_back({gpu::UsageNormal, 12});
    if (c.texCoords)
        expected.push_back({gpu::UsageTexCoord, c.normals ? 24 : 12});
    std::vector<std::pair<int, int>> actual;
    for (const gpu::VertexElement& e : mesh->declaration->Elements()) {
        actual.push_back({e.usage, e.offset});
        EXPECT_EQ(e.stream, 0);
        EXPECT_EQ(e.usageIndex, 0);
        EXPECT_EQ(e.type, e.usage == gpu::UsageTexCoord ? gpu::DeclFloat2 : gpu::DeclFloat3);
    }
    EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(Combinations, TVOMeshStreams,
                         ::testing::Values(StreamCase{false, false, 12, {0, 0, 0}},
                                           StreamCase{true, false, 24, {0, 0, 0, 0, 0, -1}},
                                           StreamCase{false, true, 20, {0, 0, 0, 0.25f, 0.5f}},
                                           StreamCase{true, true, 32, {0, 0, 0, 0, 0, -1, 0.25f, 0.5f}}));

TEST_F(TVOMeshTest, AnEffectNeedingAMissingStreamStopsTheLoadBeforeAnyBuffer) {
    // Diffuse needs normals: the texture coordinates present do not help.
    EXPECT_EQ(LoadError(Mesh(3, false, true)),
              "Effect requires normal coordinates, not found in .tvo mesh data/mesh.tvo");
    EXPECT_EQ(Count("CreateIndexBuffer"), 0);
    EXPECT_EQ(Count("CreateVertexBuffer"), 0);
}

TEST_F(TVOMeshTest, AmbientNeedsTextureCoordinates) {
    EXPECT_EQ(LoadError(Mesh(1, true, false)),
              "Effect requires texture coordinates, not found in .tvo mesh data/mesh.tvo");
}

TEST_F(TVOMeshTest, ManyIndicesStayThirtyTwoBit) {
    TVOWriter file;
    file.Material(2, {});
    file.Positions(kPositions);
    file.Indices(4, std::vector<std::uint32_t>(65536, 1));
    file.End();
    auto mesh = Load(file);
    EXPECT_TRUE(mesh->index32);
    EXPECT_EQ(mesh->primitiveCount, 65536 / 3);
    const auto* indices = static_cast<const FakeIndexBuffer*>(mesh->indexBuffer.Get());
    EXPECT_EQ(indices->GetFormat(), gpu::FormatIndex32);
    EXPECT_EQ(indices->bytes.size(), 65536u * 4);
}

TEST_F(TVOMeshTest, TextureNamesFillTheMaterialSlotsInOrder) {
    std::ofstream("data/a.png") << "x";
    std::ofstream("data/b.png") << "x";
    auto mesh = Load(Mesh(2, false, false, {"data/a.png", "data/b.png"}));
    ASSERT_TRUE(mesh->material->textures[0]);
    EXPECT_EQ(mesh->material->textures[0]->GetName(), L"data/a.png");
    ASSERT_TRUE(mesh->material->textures[1]);
    EXPECT_EQ(mesh->material->textures[1]->GetName(), L"data/b.png");
    EXPECT_FALSE(mesh->material->textures[2]);
}

TEST_F(TVOMeshTest, ABrokenFileIsReportedWithItsName) {
    EXPECT_EQ(LoadError(TVOWriter("OVLT")), "data/mesh.tvo is not a .tvo mesh");
}

TEST_F(TVOMeshTest, WithoutADeviceTheBufferIsReportedNotUsed) {
    CWin32Window::Get()->device = nullptr;
    Mesh(2, false, false).Save("data/mesh.tvo");
    try {
        ResourceManager::Get()->GetResource<TVOMesh>(L"data/mesh.tvo");
        ADD_FAILURE() << "the mesh loaded";
    } catch (const Exception&) {
    }
    CWin32Window::Get()->device = device;
    const std::string text = log.CloseAndRead();
    EXPECT_EQ(CountRows(text, "WARNING", "Mesh data/mesh.tvo, index buffer of 12 bytes: no graphics device"),
              1);
    EXPECT_EQ(CountRows(text, "ERROR", "Creating index buffer failed"), 1);
}

TEST_F(TVOMeshTest, UnloadFreesTheCopiesButKeepsTheBuffers) {
    auto mesh = Load(Mesh(2, true, true));
    mesh->Unload();
    EXPECT_FALSE(mesh->positions);
    EXPECT_FALSE(mesh->normals);
    EXPECT_FALSE(mesh->texCoords);
    EXPECT_TRUE(mesh->indices.empty());
    EXPECT_TRUE(mesh->vertexBuffer);
    EXPECT_TRUE(mesh->indexBuffer);
}

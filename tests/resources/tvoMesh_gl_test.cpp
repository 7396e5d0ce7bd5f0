// The .tvo mesh on the offscreen OpenGL device: what the loader puts on the device draws the file's
// triangles, with 16-bit and with 32-bit indices, and a mesh without a built-in key is drawn with the
// effect its material script (next to the file) builds, whose streams the file must hold. The buffers
// outlive a device reset, which is why the mesh does nothing on loss and reset.
#include "core/kernel.h"
#include "core/textConversion.h"
#include "formats/tvoWriter.h"
#include "gpu/offscreenDevice.h"
#include "platform/window.h"
#include "render/effect.h"
#include "render/effectPool.h"
#include "render/material.h"
#include "render/shader.h"
#include "resources/TVOMesh.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quorvel::test;
using engine::core::CWin32Window;
using engine::core::Exception;
using engine::core::ResourceManager;
using engine::gfx::TVOMesh;
using quorvel::formats::TVOWriter;

namespace {

class TVOMeshGlTest : public OffscreenDeviceTest {
protected:
    void SetUp() override {
        OffscreenDeviceTest::SetUp();
        CWin32Window::Get()->device = device;
    }
    void TearDown() override {
        delete ResourceManager::mInstance;
        delete engine::gfx::EffectPool::mInstance;
        engine::gfx::SetShaderContext(nullptr, nullptr);
        delete engine::core::Kernel::mInstance;
        // The fixture releases the device itself.
        CWin32Window::Get()->device = nullptr;
        delete CWin32Window::mInstance;
        OffscreenDeviceTest::TearDown();
    }

    // A clip-space triangle over the left half of the target and one over the right half, with
    // positions and texture coordinates, drawn with the mesh's own buffers and declaration.
    boost::shared_ptr<TVOMesh> LoadHalves(std::int32_t indexSize, std::size_t repeat) {
        TVOWriter file;
        file.Material(2, {});
        file.Positions(
            {{-1, -1, 0.5f}, {-1, 1, 0.5f}, {-0.1f, 0, 0.5f}, {0.1f, 0, 0.5f}, {1, 1, 0.5f}, {1, -1, 0.5f}});
        file.TexCoords({{0, 0}, {0, 1}, {1, 0}, {0, 0}, {0, 1}, {1, 0}});
        std::vector<std::uint32_t> indices;
        // One index at a time: GCC 12 at -O2 takes an insert of a list into an empty vector for a write
        // past its end (a false -Wstringop-overflow).
        for (std::size_t i = 0; i < repeat; ++i)
            for (std::uint32_t index = 0; index < 6; ++index)
                indices.push_back(index);
        file.Indices(indexSize, indices);
        file.End();
        file.Save("data/halves.tvo");
        return ResourceManager::Get()->GetResource<TVOMesh>(L"data/halves.tvo");
    }

    void Draw(const TVOMesh& mesh) {
        UseClipSpace();
        device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000, 1.0f, 0);
        device->SetVertexDeclaration(mesh.declaration.Get());
        device->SetStreamSource(0, mesh.vertexBuffer.Get(), 0, mesh.stride);
        device->SetIndices(mesh.indexBuffer.Get());
        ASSERT_EQ(device->BeginScene(), gpu::kOk);
        EXPECT_EQ(
            device->DrawIndexedPrimitive(mesh.primitiveType, 0, 0, mesh.vertexCount, 0, mesh.primitiveCount),
            gpu::kOk);
        ASSERT_EQ(device->EndScene(), gpu::kOk);
    }

    // A lit mesh without a built-in key, next to a script whose only candidate draws it with the
    // shipped lit effect and needs positions, normals and texture coordinates.
    void WriteScriptedMesh(bool withNormals) {
        const std::filesystem::path folder = QUORVEL_SOURCE_DIR;
        std::filesystem::create_directories("data/fx");
        std::filesystem::copy_file(folder / "content/fx/litTextured.fx", "data/fx/litTextured.fx");
        TVOWriter file;
        file.Material(0, {});
        file.Positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
        if (withNormals)
            file.Normals({{0, 0, -1}, {0, 0, -1}, {0, 0, -1}});
        file.TexCoords({{0, 0}, {1, 0}, {0, 1}});
        file.Indices(2, {0, 1, 2});
        file.End();
        file.Save("data/lit.tvo");
        std::ofstream("data/lit.tvo.efx")
            << "effect = { { priority = 1, pass = { { priority = 100, "
               "fx = \"litTextured\", tec = \"Plain\", params = {}, streams = { \"pos\", "
               "\"normal\", \"tex\" } } } } }\n";
    }
};

} // namespace

TEST_F(TVOMeshGlTest, SixteenBitIndicesDrawTheFileTriangles) {
    auto mesh = LoadHalves(4, 1);
    EXPECT_FALSE(mesh->index32);
    EXPECT_EQ(mesh->stride, 20);
    Draw(*mesh);
    EXPECT_TRUE(Near(Pixel(8, kSize / 2), 255, 255, 255)) << Pixel(8, kSize / 2);
    EXPECT_TRUE(Near(Pixel(kSize - 8, kSize / 2), 255, 255, 255)) << Pixel(kSize - 8, kSize / 2);
    // Between the two triangles nothing is drawn.
    EXPECT_TRUE(Near(Pixel(kSize / 2, 2), 0, 0, 0)) << Pixel(kSize / 2, 2);
}

TEST_F(TVOMeshGlTest, ThirtyTwoBitIndicesDrawTheFileTriangles) {
    // 65,538 indices: the same two triangles over and over, kept at 32 bits.
    auto mesh = LoadHalves(2, 10923);
    EXPECT_TRUE(mesh->index32);
    Draw(*mesh);
    EXPECT_TRUE(Near(Pixel(8, kSize / 2), 255, 255, 255)) << Pixel(8, kSize / 2);
    EXPECT_TRUE(Near(Pixel(kSize - 8, kSize / 2), 255, 255, 255)) << Pixel(kSize - 8, kSize / 2);
}

TEST_F(TVOMeshGlTest, TheScriptNextToTheMeshGivesItsEffect) {
    WriteScriptedMesh(true);
    auto mesh = ResourceManager::Get()->GetResource<TVOMesh>(L"data/lit.tvo");
    ASSERT_TRUE(mesh->material->effect);
    EXPECT_NE(mesh->material->effect, engine::gfx::EffectPool::Get()->GetBuiltin(2));
    ASSERT_EQ(mesh->material->effect->GetPasses().size(), 1u);
    EXPECT_EQ(mesh->material->effect->GetPasses()[0]->GetType(), 0);
    EXPECT_EQ(mesh->stride, 32);
    const std::string text = log.CloseAndRead();
    EXPECT_EQ(text.find("WARNING"), std::string::npos) << text;
}

TEST_F(TVOMeshGlTest, AScriptPassListingNormalsNeedsANormalChunk) {
    WriteScriptedMesh(false);
    std::string error;
    try {
        ResourceManager::Get()->GetResource<TVOMesh>(L"data/lit.tvo");
        ADD_FAILURE() << "the mesh loaded";
    } catch (const Exception& e) {
        error = engine::core::WideToNarrow(e.GetText());
    }
    EXPECT_EQ(error, "Effect requires normal coordinates, not found in .tvo mesh data/lit.tvo");
}

TEST_F(TVOMeshGlTest, BuffersSurviveADeviceReset) {
    auto mesh = LoadHalves(2, 1);
    device->InjectDeviceLoss(0);
    EXPECT_EQ(device->Present(), gpu::kDeviceLost);
    ResourceManager::Get()->OnLostDevice();
    EXPECT_EQ(device->TestCooperativeLevel(), gpu::kDeviceNotReset);
    ASSERT_EQ(device->Reset(parameters), gpu::kOk);
    ResourceManager::Get()->OnResetDevice();
    Draw(*mesh);
    EXPECT_TRUE(Near(Pixel(8, kSize / 2), 255, 255, 255)) << Pixel(8, kSize / 2);
}

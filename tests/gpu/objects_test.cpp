// Device-object ownership and the attribute locations declarations and programs share; no GPU needed.
#include "gpu/glObjects.h"

#include <gtest/gtest.h>

namespace gpu = engine::gpu;

namespace {

class Counted : public gpu::Object {
public:
    explicit Counted(int& destroyed) : destroyed(destroyed) {}
    ~Counted() override { ++destroyed; }
    int& destroyed;
};

} // namespace

TEST(DeviceObjects, RefsShareAndReleaseTheirReferences) {
    int destroyed = 0;
    auto* object = new Counted(destroyed);
    {
        gpu::Ref<Counted> adopted = gpu::Ref<Counted>::Adopt(object);
        gpu::Ref<Counted> copy = adopted;
        gpu::Ref<Counted> assigned;
        assigned = copy;
        // Assigned to itself through another name, as code that cannot see it is the same object does.
        const gpu::Ref<Counted>& itself = assigned;
        assigned = itself;
        EXPECT_EQ(object->AddRef(), 4u);
        EXPECT_EQ(object->Release(), 3u);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(DeviceObjects, DeclarationUsagesHaveFixedAttributeLocations) {
    EXPECT_EQ(gpu::AttributeLocation(gpu::UsagePosition, 0), 0);
    EXPECT_EQ(gpu::AttributeLocation(gpu::UsageNormal, 0), 1);
    EXPECT_EQ(gpu::AttributeLocation(gpu::UsageTexCoord, 0), 2);
    EXPECT_EQ(gpu::AttributeLocation(gpu::UsageTexCoord, 1), 3);
    EXPECT_EQ(gpu::AttributeLocation(gpu::UsageColor, 1), 9);
    EXPECT_EQ(gpu::AttributeLocation(gpu::UsageTexCoord, 4), -1);
    EXPECT_EQ(gpu::AttributeLocation(gpu::UsagePosition, 1), -1);
    EXPECT_LT(gpu::AttributeLocation(gpu::UsageColor, 1), gpu::kAttributeLocations);
}

TEST(DeviceObjects, ResultsKeepDirect3DCodes) {
    EXPECT_TRUE(gpu::Failed(gpu::kDeviceLost));
    EXPECT_TRUE(gpu::Failed(gpu::kDeviceNotReset));
    EXPECT_FALSE(gpu::Failed(gpu::kOk));
    EXPECT_EQ(static_cast<std::uint32_t>(gpu::kDeviceNotReset), 0x88760869u);
    EXPECT_EQ(gpu::VertexShaderVersion(1, 1), 0xFFFE0101u);
}

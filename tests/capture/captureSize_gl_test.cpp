// A capture asked for a picture larger than the device draws stops before anything is written, naming
// the size and the device's largest, instead of failing somewhere in the drawing.
#include "capture/captureFixture.h"
#include "gpu/glDevice.h"
#include "platform/window.h"
#include "support/logCapture.h"

#include <engine/engine.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace quorvel::test;

namespace {

TEST(CaptureSize, APictureLargerThanTheDeviceDrawsIsRefusedWithTheDevicesLargest) {
    ScopedLogDirectory folder;
    MessageBoxCapture boxes;
    WriteCaptureFixture({4, 4, 4, 4, 4, 4, 4, 4, 4});
    engine::CaptureSettings capture;
    capture.output = "frames";
    capture.framesPerSecond = 25;
    capture.width = 64;
    capture.height = 48;
    capture.frameLimit = 2;
    capture.showProgress = false;
    engine::UseCapture(capture);
    engine::WindowSettings window;
    window.width = 64;
    window.height = 48;
    engine::CreateTALVOWindow(window);
    auto* device = dynamic_cast<engine::gpu::GlDevice*>(engine::core::CWin32Window::Get()->device);
    ASSERT_NE(device, nullptr);
    engine::gpu::Caps caps;
    device->GetDeviceCaps(caps);
    // What llvmpipe reaches: 4K and more.
    EXPECT_GE(caps.maxRenderTargetWidth, 3840u);
    EXPECT_GE(caps.maxRenderTargetHeight, 2160u);
    caps.maxRenderTargetWidth = 48;
    device->OverrideCaps(caps);

    try {
        engine::StartApplication();
        ADD_FAILURE() << "the capture ran";
    } catch (const engine::core::Exception& error) {
        EXPECT_EQ(error.GetText(),
                  L"The capture's size 64x48 is larger than this device can draw: at most 48x" +
                      std::to_wstring(caps.maxRenderTargetHeight));
    }
    EXPECT_FALSE(std::filesystem::exists("frames"));
    EXPECT_FALSE(std::filesystem::exists("frames.part"));
}

} // namespace

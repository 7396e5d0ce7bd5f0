// The display settings record that crosses between the engine and the program: the settings dialog
// returns it, the program edits it and hands it to window creation. Format and interval fields carry
// Direct3D 9's numeric codes.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

// The presentation interval that presents at once, without waiting for the vertical blank.
constexpr std::uint32_t kPresentImmediately = 0x80000000u;

struct WindowSettings {
    std::int32_t width = 1024;
    std::int32_t height = 768;
    std::int32_t backBufferFormat = 22;   // 22: 32-bit RGB, 23: 16-bit RGB 565
    std::int32_t depthStencilFormat = 77; // 77: 24-bit depth
    std::int32_t multiSampleType = 0;     // 0, 2 or 4 samples
    bool fullscreen = false;
    std::int32_t refreshRate = 60; // full screen only
    // 0x80000000: present at once; 2: every second vertical blank (1 where the driver refuses 2).
    std::uint32_t presentationInterval = kPresentImmediately;
    std::wstring title;
};

} // namespace engine

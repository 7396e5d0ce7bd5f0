// The entry point of every test program. Tests draw offscreen and play into a dummy audio device
// unless the environment already chose a driver, however they are started (ctest, a debugger, by hand).
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

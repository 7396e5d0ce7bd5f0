// The demo program. For now it brings the engine's kernel up, runs one pass of the main loop and
// ends cleanly; the scenes come with the later parts of the engine.
#include <engine/engine.h>

#include <cstdio>

namespace {

class FirstPassQuit : public engine::core::Module {
public:
    bool Start() override { return true; }
    void Update() override { engine::QuitApplication(); }
    void Stop() override {}
};

constexpr int kTimelineModuleId = 10100;

} // namespace

int main() {
    FirstPassQuit timeline;
    try {
        engine::AddModule(&timeline, kTimelineModuleId);
        engine::StartApplication();
    } catch (const engine::core::Exception& e) {
        std::fprintf(stderr, "%ls: %ls\n", e.GetFunction().c_str(), e.GetText().c_str());
        return 1;
    }
    return 0;
}

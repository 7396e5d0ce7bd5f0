// Built against <engine/engine.h> and libengine.so alone: each use below needs an exported symbol.
#include <engine/engine.h>

#include <cstdio>

namespace {

class CountingModule : public engine::core::Module {
public:
    bool Start() override { return true; }
    void Update() override {
        ++updates;
        engine::QuitApplication();
    }
    void Stop() override { ++stops; }
    int updates = 0;
    int stops = 0;
};

int Fail(const char* what) {
    std::fprintf(stderr, "public interface check failed: %s\n", what);
    return 1;
}

} // namespace

int main() {
    using engine::math::Matrix4x4;
    using engine::math::Vector3f;

    Matrix4x4 m = Matrix4x4::Identity;
    m.SetTranslation(Vector3f(1.0f, 2.0f, 3.0f));
    if (m.GetTranslation().y != 2.0f)
        return Fail("Matrix4x4 translation");
    Vector3f v(3.0f, 4.0f, 0.0f);
    if (v.Mag() != 5.0f)
        return Fail("Vector3f::Mag");

    engine::core::Exception e(L"text", L"file.cpp:1");
    if (e.GetText() != L"text" || e.GetFunction() != L"file.cpp:1")
        return Fail("Exception");

    // The test folder holds no music, so the start fails before the main loop, and the engine's
    // exception reaches the program with its text.
    CountingModule module;
    engine::AddModule(&module, 10100);
    try {
        engine::StartApplication();
        return Fail("start without music");
    } catch (const engine::core::Exception& error) {
        if (error.GetText() != L"Failed to load music file. Sorry.")
            return Fail("music error text");
    }
    if (module.updates != 0 || module.stops != 0)
        return Fail("main loop");
    if (engine::isHeld(27) || engine::isPressed(300))
        return Fail("key queries");
    std::puts("public interface ok");
    return 0;
}

#include "testScene1.h"

#include <cmath>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kEscapeKey = 27;
// The length of a frame at 25 frames per second, kept in single precision as the scene files' lengths
// have always been timed with: a 250-frame scene lasts 9.9999998 s, not 10.
constexpr float kSecondsPerFrame = 0.04f;

// The scene being shown and when it began; the module's update shares them across instances.
int sceneIndex = 0;
double sceneStartTime = 0.0;

struct ArraySetup {
    const char* object;
    // Offset node and copies along that dimension, the first entry innermost. The modifier hangs under
    // the last offset node.
    std::vector<std::pair<const char*, int>> offsets;
};

engine::gfx::Node* NodeNamed(engine::gfx::DemoLoader& scene, const char* name) {
    return dynamic_cast<engine::gfx::Node*>(scene.GetNode(name).get());
}

void AddArray(engine::gfx::DemoLoader& scene, const ArraySetup& setup) {
    engine::ArrayInfo info;
    info.object = scene.GetNode(setup.object).get();
    for (const auto& [offsetName, count] : setup.offsets) {
        engine::ArrayEntry entry;
        entry.offset = engine::math::Vector3f(0.0f, 0.0f, 0.0f);
        entry.offsetObject = scene.GetNode(offsetName).get();
        entry.count = count;
        entry.useConstantOffset = false;
        entry.useObjectOffset = true;
        info.entries.push_back(entry);
    }
    engine::AddArrayModifier(info, NodeNamed(scene, setup.offsets.back().first));
}

// A red fountain of sparks, one every 0.17 s, thirty alive at most.
void AddEmberFountain(engine::gfx::DemoLoader& scene) {
    engine::gfx::EmitterInfo info;
    info.color = engine::math::Vector4f(0.88f, 0.0f, 0.0f, 1.0f);
    info.colorVariance = engine::math::Vector4f(0.0f, 0.0f, 0.0f, 0.0f);
    info.colorChange = engine::math::Vector4f(1.0f, 1.0f, 1.0f, -0.5f);
    info.velocity = engine::math::Vector3f(0.0f, 40.0f, 0.0f);
    info.velocityVariance = engine::math::Vector3f(4.0f, 4.0f, 0.0f);
    info.acceleration = engine::math::Vector3f(0.0f, 0.0f, 0.0f);
    info.effect = engine::BuildEffect("data/particle.efx");
    info.size = 3.0f;
    info.reserved = 0.0f;
    info.sizeChange = 0.0f;
    info.spin = 0.0f;
    info.spinVariance = 10.0f;
    info.maxParticles = 30;
    info.particleCount = 0;
    info.emitInterval = 0.17f;
    engine::AddParticleEmitter(NodeNamed(scene, "particleEmitter"), info);
}

// A golden rain from a wide rectangle, a thousand sparks at a time.
void AddGoldenRain(engine::gfx::DemoLoader& scene) {
    engine::gfx::PlaneEmitterInfo info;
    info.color = engine::math::Vector4f(0.5f, 0.5f, 0.0f, 1.0f);
    info.colorVariance = engine::math::Vector4f(0.0f, 0.0f, 0.0f, 0.0f);
    info.colorChange = engine::math::Vector4f(1.0f, 1.0f, 1.0f, -1.3f);
    info.velocity = engine::math::Vector3f(0.0f, 0.0f, -20.0f);
    info.velocityVariance = engine::math::Vector3f(4.0f, 4.0f, 0.0f);
    info.acceleration = engine::math::Vector3f(0.0f, 0.0f, 0.0f);
    info.effect = engine::BuildEffect("data/particle.efx");
    info.size = 3.0f;
    info.reserved = 0.0f;
    info.sizeChange = 0.0f;
    info.spin = 0.0f;
    info.spinVariance = 10.0f;
    info.maxParticles = 1000;
    info.particleCount = 0;
    info.emitInterval = 0.001f;
    info.planeWidth = 47.0f;
    info.planeDepth = 77.0f;
    engine::AddPlaneParticleEmitter(NodeNamed(scene, "Plane"), info);
}

// The scenes as the music's sections name them.
const char* const kSceneNames[] = {"Ember",  "Lattice", "Cathedral", "Vortex",   "Rain",
                                   "Garden", "Growth",  "Meadow",    "Ascension"};

const ArraySetup kCubeGrid20{"Cube", {{"Modifier", 20}, {"Modifier2", 20}}};
const ArraySetup kCubeGrid25{"Cube", {{"Modifier", 25}, {"Modifier2", 25}}};
const ArraySetup kLeafSpiral{"Leaf", {{"LeafModifier", 10}, {"LeafModifier2", 8}}};
const ArraySetup kLeaf2Spiral{"Leaf2", {{"Leaf2Modifier", 10}, {"Leaf2Modifier2", 8}}};

// Scene number 1 to 9: its modifiers and emitters, in the order they are attached.
void Decorate(int scene, engine::gfx::DemoLoader& loader) {
    switch (scene) {
    case 1:
        AddArray(loader, {"Cube", {{"Offset", 100}}});
        AddEmberFountain(loader);
        break;
    case 2:
    case 3:
    case 4:
        AddArray(loader, kCubeGrid20);
        break;
    case 5:
        AddGoldenRain(loader);
        AddArray(loader, kCubeGrid25);
        break;
    case 6:
        AddArray(loader, kCubeGrid25);
        AddArray(loader, kLeafSpiral);
        AddArray(loader, kLeaf2Spiral);
        break;
    case 7:
        AddArray(loader, kLeafSpiral);
        AddArray(loader, kLeaf2Spiral);
        AddArray(loader, {"Stem", {{"StemModifier", 15}}});
        AddArray(loader, {"Leaves", {{"LeavesModifier", 10}, {"LeavesModifier2", 4}}});
        break;
    case 8:
        AddArray(loader, {"Grass", {{"GrassModifier", 8}, {"GrassModifier2", 15}}});
        break;
    case 9:
        AddArray(loader, {"Cube", {{"CubeModifier", 30}}});
        break;
    }
}

} // namespace

TestScene1::TestScene1(int firstScene, bool loop) : firstScene(firstScene), loop(loop) {}

double TestScene1::SceneDuration(const engine::gfx::DemoLoader& scene) {
    return static_cast<double>(scene.GetLength()) * static_cast<double>(kSecondsPerFrame);
}

bool TestScene1::Start() {
    // Registered before any scene loads, so that the scenes' effect parameters find them by name.
    engine::CreateRenderTarget(L"lastFrame", 512);
    engine::CreateRenderTarget(L"gaussGlowLow", 128);
    engine::CreateRenderTarget(L"gaussTempLow", 128);
    // What loaded before a failure still plays: the kernel reports the failure, and the demo ends where
    // the first scene that did not load would have begun.
    std::exception_ptr failure;
    try {
        LoadScenes();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) {
        Begin();
        return true;
    }
    // The failure to load is the one that explains the rest: should beginning with what loaded fail
    // too, that failure has written its own row to the log already.
    try {
        Begin();
    } catch (...) {
    }
    std::rethrow_exception(failure);
}

void TestScene1::Begin() {
    // Starting later is starting where playing would have arrived: the clock and the music begin at
    // the sum of the earlier scenes' lengths.
    double startTime = 0.0;
    for (int index = 0; index < firstScene; ++index) {
        if (scenes[index] == nullptr)
            return;
        if (index < firstScene - 1)
            startTime += SceneDuration(*scenes[index]);
    }
    engine::SetDemoTime(startTime);
    sceneStartTime = startTime;
    ShowScene(firstScene - 1);
}

void TestScene1::LoadScene(int scene, engine::gfx::DemoLoader*& slot) {
    const std::wstring path = L"data/scene" + std::to_wstring(scene) + L".demo";
    // Told to the engine too, so that live editing decorates the scene again when it reloads it.
    engine::SetSceneDecorator(path, [scene](engine::gfx::DemoLoader& loader) { Decorate(scene, loader); });
    slot = engine::gfx::DemoLoader::CreateInstance(path);
    Decorate(scene, *slot);
}

void TestScene1::LoadScenes() {
    currentScene = nullptr;
    for (int scene = 1; scene <= kSceneCount; ++scene)
        LoadScene(scene, scenes[scene - 1]);
}

void TestScene1::LoadNextRoundScene() {
    if (nextRoundFailed || nextRoundLoaded == kSceneCount)
        return;
    try {
        LoadScene(nextRoundLoaded + 1, nextRound[nextRoundLoaded]);
    } catch (...) {
        nextRoundFailed = true;
        DestroyScenes(nextRound);
        throw;
    }
    ++nextRoundLoaded;
}

void TestScene1::StartNextRound() {
    while (!nextRoundFailed && nextRoundLoaded < kSceneCount)
        LoadNextRoundScene();
    DestroyScenes(scenes);
    std::swap(scenes, nextRound);
    nextRoundLoaded = 0;
    engine::SetDemoTime(0.0);
    sceneStartTime = 0.0;
    ShowScene(0);
}

void TestScene1::ShowScene(int index) {
    sceneIndex = index;
    currentScene = scenes[index];
    engine::SetRootNode(currentScene->GetBaseNode());
}

void TestScene1::Update() {
    if (engine::isHeld(kEscapeKey))
        engine::QuitApplication();
    // A scene that failed to load leaves nothing to show: end instead of reading an empty slot.
    if (currentScene == nullptr) {
        engine::QuitApplication();
        return;
    }

    const double elapsed = engine::GetTime() - sceneStartTime;
    if (!(SceneDuration(*currentScene) < elapsed)) {
        // While the last scene plays, the next round loads a scene a pass, so that the loop point need
        // not load nine at once during the music.
        if (loop && !sceneLoop && sceneIndex == kSceneCount - 1)
            LoadNextRoundScene();
        return;
    }
    if (sceneLoop) {
        engine::SeekDemo(Scenes()[static_cast<std::size_t>(sceneIndex)].start);
        return;
    }

    sceneStartTime = engine::GetTime();
    if (sceneIndex + 1 < kSceneCount && scenes[sceneIndex + 1] != nullptr) {
        ShowScene(sceneIndex + 1);
        return;
    }
    if (sceneIndex + 1 < kSceneCount || !loop || nextRoundFailed) {
        sceneIndex += 1;
        currentScene = nullptr;
        engine::QuitApplication();
        return;
    }
    StartNextRound();
}

std::vector<engine::EditorScene> TestScene1::Scenes() const {
    std::vector<engine::EditorScene> shown;
    double start = 0.0;
    for (int index = 0; index < kSceneCount && scenes[index] != nullptr; ++index) {
        const double length = SceneDuration(*scenes[index]);
        shown.push_back({kSceneNames[index], start, length});
        start += length;
    }
    return shown;
}

int TestScene1::SceneOnScreen() const {
    return currentScene != nullptr ? sceneIndex : -1;
}

std::vector<long long> TestScene1::SwitchSteps(int stepsPerSecond) const {
    std::vector<long long> steps{0};
    for (int index = 0; index < kSceneCount && scenes[index] != nullptr; ++index) {
        // The comparison the switch makes, on the times the fixed-step clock computes.
        const long long from = steps.back();
        const double start = static_cast<double>(from) / stepsPerSecond;
        const double length = SceneDuration(*scenes[index]);
        long long step =
            std::max(from + 1, static_cast<long long>(std::floor((start + length) * stepsPerSecond)));
        while (!(length < static_cast<double>(step) / stepsPerSecond - start))
            ++step;
        steps.push_back(step);
    }
    return steps;
}

void TestScene1::ShowSceneAt(double seconds) {
    const std::vector<engine::EditorScene> shown = Scenes();
    if (shown.empty())
        return;
    int index = 0;
    while (index + 1 < static_cast<int>(shown.size()) &&
           shown[static_cast<std::size_t>(index) + 1].start <= seconds)
        ++index;
    const int stepsPerSecond = engine::ReplayStepsPerSecond();
    const std::vector<long long> switches = SwitchSteps(stepsPerSecond);
    // Every scene before shared the particles' random sequence and emission clocks with this one.
    engine::RestartParticles();
    for (int before = 0; before < index; ++before)
        engine::SkipSceneEmissions(*scenes[before]->GetBaseNode(),
                                   static_cast<int>(switches[before + 1] - switches[before]));
    engine::LoadSceneAgain(*scenes[index]);
    Decorate(index + 1, *scenes[index]);
    sceneStartTime = static_cast<double>(switches[index]) / stepsPerSecond;
    ShowScene(index);
    engine::ReplaySceneOnScreen(seconds - sceneStartTime);
}

void TestScene1::DestroyScenes(std::array<engine::gfx::DemoLoader*, kSceneCount>& loaders) {
    for (engine::gfx::DemoLoader*& scene : loaders) {
        if (scene != nullptr)
            scene->DestroyInstance();
        scene = nullptr;
    }
}

void TestScene1::Stop() {
    DestroyScenes(scenes);
    DestroyScenes(nextRound);
    nextRoundLoaded = 0;
}

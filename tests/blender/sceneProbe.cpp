// Built against <engine/engine.h> and libengine.so alone: plays one compiled scene as a capture (fixed
// steps, pictures into a folder) and prints, at the passes asked for, every named object's world matrix
// and where its origin lands on the picture through the engine's projection. The Blender tests compare
// these numbers and pictures with Blender's own.
//
//   sceneProbe FOLDER SCENE WIDTH HEIGHT FPS PASS,PASS,... NAME...
//
// FOLDER holds data/ (the scene, its meshes, fx/, custom.ipo and dark_ages.xm); pictures go to
// FOLDER/frames. Output lines:
//   pass N frame F              the scene's frame (25 a second, the first frame is 1) at pass N
//   view m00 ... m33            the inverse of the view matrix: the camera's pose in the world
//   world NAME m00 ... m33      the world matrix, rows first, the row-vector convention
//   pixel NAME x y depth        the origin's pixel (x right, y down, centres at .5) and view depth
#include <engine/engine.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Matrix = std::array<double, 16>;

Matrix ToDouble(const engine::math::Matrix4x4& m) {
    Matrix out;
    for (int i = 0; i < 16; ++i)
        out[i] = m.m[i];
    return out;
}

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix out{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                out[4 * i + j] += a[4 * i + k] * b[4 * k + j];
    return out;
}

// Gauss-Jordan with partial pivoting; the view matrices inverted here are rigid motions or mirrors.
Matrix Inverse(Matrix a) {
    Matrix inv{};
    for (int i = 0; i < 4; ++i)
        inv[5 * i] = 1.0;
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[4 * r + c]) > std::fabs(a[4 * pivot + c]))
                pivot = r;
        for (int k = 0; k < 4; ++k) {
            std::swap(a[4 * c + k], a[4 * pivot + k]);
            std::swap(inv[4 * c + k], inv[4 * pivot + k]);
        }
        const double d = a[5 * c];
        for (int k = 0; k < 4; ++k) {
            a[4 * c + k] /= d;
            inv[4 * c + k] /= d;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == c)
                continue;
            const double f = a[4 * r + c];
            for (int k = 0; k < 4; ++k) {
                a[4 * r + k] -= f * a[4 * c + k];
                inv[4 * r + k] -= f * inv[4 * c + k];
            }
        }
    }
    return inv;
}

class Probe : public engine::core::Module {
public:
    Probe(std::string scene, int width, int height, double fps, std::set<int> passes,
          std::vector<std::string> names)
        : scene(std::move(scene)), width(width), height(height), fps(fps), passes(std::move(passes)),
          names(std::move(names)) {
        // After the renderer has walked the scene, before the frame grabber reads the picture.
        priority = 6100;
    }

    bool Start() override {
        loader = engine::gfx::DemoLoader::CreateInstance(L"data/" + std::wstring(scene.begin(), scene.end()) +
                                                         L".demo");
        engine::SetRootNode(loader->GetBaseNode());
        return true;
    }

    void Update() override {
        // A scene that failed to load has been reported by the kernel; there is nothing to measure.
        if (loader == nullptr) {
            failed = true;
            engine::QuitApplication();
            return;
        }
        ++pass;
        if (passes.count(pass) == 0)
            return;
        std::printf("pass %d frame %.6f\n", pass, 1.0 + pass * 25.0 / fps);
        // Objects hang under the camera, whose world matrix is the view: the world matrix they report
        // is world x view. The camera's own inverse takes the view off again.
        const auto camera = loader->GetCameraNode();
        const Matrix view = camera ? ToDouble(camera->GetWorldMatrix())
                                   : Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        const Matrix viewInverse = Inverse(view);
        std::printf("view");
        for (double v : viewInverse)
            std::printf(" %.9g", v);
        std::printf("\n");
        const double yScale = 1.0 / std::tan(0.7853982 / 2.0);
        const double xScale = yScale / (static_cast<double>(width) / height);
        for (const std::string& name : names) {
            const auto node = loader->GetNode(name);
            if (!node) {
                std::printf("missing %s\n", name.c_str());
                continue;
            }
            const Matrix worldView = ToDouble(node->GetWorldMatrix());
            const Matrix world = Multiply(worldView, viewInverse);
            std::printf("world %s", name.c_str());
            for (double v : world)
                std::printf(" %.9g", v);
            std::printf("\n");
            const double x = worldView[12], y = worldView[13], z = worldView[14];
            std::printf("pixel %s %.6f %.6f %.6f\n", name.c_str(), (xScale * x / z + 1.0) * 0.5 * width,
                        (1.0 - yScale * y / z) * 0.5 * height, z);
        }
        std::fflush(stdout);
    }

    void Stop() override {
        if (loader != nullptr)
            loader->DestroyInstance();
    }

    bool failed = false;

private:
    std::string scene;
    int width, height;
    double fps;
    std::set<int> passes;
    std::vector<std::string> names;
    engine::gfx::DemoLoader* loader = nullptr;
    int pass = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 8) {
        std::fprintf(stderr, "usage: sceneProbe FOLDER SCENE WIDTH HEIGHT FPS PASS,PASS,... NAME...\n");
        return 2;
    }
    std::filesystem::current_path(argv[1]);
    const int width = std::stoi(argv[3]), height = std::stoi(argv[4]);
    const double fps = std::stod(argv[5]);
    std::set<int> passes;
    std::stringstream list(argv[6]);
    for (std::string item; std::getline(list, item, ',');)
        passes.insert(std::stoi(item));
    const std::vector<std::string> names(argv + 7, argv + argc);
    Probe probe(argv[2], width, height, fps, passes, names);
    try {
        engine::CaptureSettings capture;
        capture.output = "frames";
        capture.framesPerSecond = static_cast<int>(fps);
        capture.width = width;
        capture.height = height;
        capture.frameLimit = *passes.rbegin();
        capture.showProgress = false;
        engine::UseCapture(capture);
        engine::WindowSettings settings;
        settings.width = width;
        settings.height = height;
        engine::CreateTALVOWindow(settings);
        engine::AddModule(&probe, 10100);
        engine::StartApplication();
    } catch (const engine::core::Exception& error) {
        std::fprintf(stderr, "sceneProbe: %ls: %ls\n", error.GetFunction().c_str(), error.GetText().c_str());
        return 1;
    }
    return probe.failed ? 1 : 0;
}

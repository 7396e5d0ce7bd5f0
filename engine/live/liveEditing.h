// The live-editing module: at the top of every pass it gathers the content folder's file events, and
// once the files of a save are closed (SaveBatcher) it has the compiler build what they reach into
// data/ and swaps what changed into the engine (reloader.h). Problems are reported as WARNING rows, on
// standard error and in the window's title, which keeps the first of them until a build and reload
// succeed.
#pragma once

#include "live/contentWatcher.h"
#include "live/saveBatcher.h"
#include "platform/clock.h"

#include <engine/live.h>
#include <engine/module.h>

#include <boost/weak_ptr.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace engine::gfx {
class Spatial;
} // namespace engine::gfx

namespace engine::live {

class LiveEditing : public core::Module {
public:
    // Its own slot: the benchmark's meter holds 17, the device-loss hook 18.
    static constexpr int kModuleId = 19;
    // Before the screen module, so a reload lands at the very top of the pass.
    static constexpr int kPriority = 5;

    // Starts watching (ERROR, which throws, when the folder cannot be watched). The clock times the
    // settle that ends a burst of saves and the patience with a file left open.
    LiveEditing(std::filesystem::path contentDir, ContentCompiler compiler,
                platform::Clock& clock = platform::SystemClock());
    ~LiveEditing() override;

    // Builds once, so that data/ matches the content before anything is loaded from it.
    bool Start() override;
    void Update() override;
    void Stop() override;

    // Builds run so far, the first included.
    int BuildCount() const { return builds; }
    // The first problem of the last build and reload as the title shows it; empty when it succeeded.
    const std::string& Problem() const { return problem; }
    // A seek put the scene on screen as it stands after that many seconds of it: a reload of it later
    // moves the new version on from there.
    void SceneShownSince(double seconds);

private:
    double Now();
    void Gather();
    void BuildAndReload();
    // Notes when the scene on screen came on, so a reloaded scene can be put where its animation was.
    void FollowShownScene(bool keepTime);
    void Report(const std::vector<std::string>& problems);

    ContentWatcher watcher;
    SaveBatcher batcher;
    ContentCompiler compiler;
    platform::Clock& clock;
    int builds = 0;
    boost::weak_ptr<gfx::Spatial> shownScene;
    double shownSince = 0.0;
    std::string problem;
    std::wstring titleBeforeProblem;
};

// Tells the live-editing module at its slot, if any, that the scene on screen has been shown since
// `seconds` of demo time.
void NoteSceneShownSince(double seconds);

} // namespace engine::live

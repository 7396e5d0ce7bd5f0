// Build-time checks of effect files (.fx) and material scripts (.efx), so that a scene that builds also
// loads: every effect file parses with the engine's parser (compiling it needs a GPU and is left to the
// tests); every material script runs in the engine's own sandbox, and each of its passes names an
// effect file of content/fx/ and a technique and parameters that file has, streams the mesh carries,
// curves that content/curves.lua makes, and (for a technique drawing a full-screen quad) a quad
// material that exists.
#pragma once

#include "effects/effectSource.h"
#include "sandbox.h"
#include "script/materialScript.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel::build {

// One material script checked, with what the check read: the build checks it again when one of those
// files changes.
struct ScriptCheck {
    std::filesystem::path script;
    std::optional<std::set<int>> meshStreams;
    // The script and the effect files its passes name.
    std::set<std::filesystem::path> reads;
    // Texture files the script loads, as the engine names them ("data/spark.png").
    std::set<std::string> textures;
};

class MaterialCheck {
public:
    // fxFolder holds the effect files and quad materials (content/fx); curves are the names the
    // global curve file will hold.
    MaterialCheck(std::filesystem::path fxFolder, std::set<std::string> curves);

    // Parses an effect file; BuildError "file:line: message" when it does not.
    void CheckEffectFile(const std::filesystem::path& file);

    // Checks a material script. meshStreams holds the vertex streams of the mesh it will draw (0
    // positions, 1 normals, 2 texture coordinates), or nothing for a script that draws no mesh of
    // ours (a quad or particle material).
    void CheckMaterialScript(const std::filesystem::path& script,
                             const std::optional<std::set<int>>& meshStreams);

    // Texture files the checked scripts load, as the engine names them ("data/spark.png"); whoever
    // makes data/ checks that they are made.
    const std::map<std::string, std::string>& TexturesNamed() const { return texturesNamed; }

    // Every script checked so far, in the order of the checks.
    const std::vector<ScriptCheck>& Checks() const { return checks; }

private:
    void CheckPass(const std::string& where, const engine::gfx::PassDescription& pass,
                   const std::optional<std::set<int>>& meshStreams, ScriptCheck& check);
    const engine::gfx::EffectSource& Effect(const std::string& fxFile, const std::string& where);

    std::filesystem::path fxFolder;
    std::set<std::string> curves;
    std::map<std::string, std::unique_ptr<engine::gfx::EffectSource>> effects;
    // Texture path -> the script that named it first.
    std::map<std::string, std::string> texturesNamed;
    std::vector<ScriptCheck> checks;
};

// The engine's log opens data/log.html in the current folder; the build must not write one there. It
// opens the log once in an empty folder, where every row is dropped.
void SilenceEngineLog();

} // namespace quorvel::build

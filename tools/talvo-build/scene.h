// Scene descriptions and the mesh and texture files of content/: Lua files run in the sandbox, with the
// generators at hand, whose returned tables become .demo scenes, .tvo meshes with their material
// scripts, and PNG textures. Everything compiled lands in one map of output files first; nothing is
// written until the whole build has succeeded.
#pragma once

#include "materials.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvel::build {

// File contents by their path inside data/ ("scene1.demo", "scene1.demo_scene/cube.tvo").
class Outputs {
public:
    // BuildError when two sources make the same file.
    void Add(const std::string& path, std::vector<std::uint8_t> bytes, const std::string& source);
    // A content file word for word (an effect file, a material script); the file is its source.
    void AddCopy(const std::string& path, const std::filesystem::path& file);
    bool Has(const std::string& path) const { return files.count(path) != 0; }
    const std::map<std::string, std::vector<std::uint8_t>>& Files() const { return files; }
    // The content file that made the output; empty for a path the build does not make.
    std::string SourceOf(const std::string& path) const {
        const auto found = sources.find(path);
        return found != sources.end() ? found->second : std::string();
    }
    // Whether the output is a copy of its source (AddCopy).
    bool IsCopy(const std::string& path) const { return copies.count(path) != 0; }
    // The paths added after the first `mark` (Count()), in the order they were added.
    std::size_t Count() const { return order.size(); }
    std::vector<std::string> AddedSince(std::size_t mark) const {
        return {order.begin() + static_cast<std::ptrdiff_t>(mark), order.end()};
    }

private:
    std::map<std::string, std::vector<std::uint8_t>> files;
    std::map<std::string, std::string> sources;
    std::set<std::string> copies;
    std::vector<std::string> order;
};

// Paths a build's products name (texture files in meshes and scripts), with who names them; checked
// against the outputs once everything is compiled.
using NamedFiles = std::map<std::string, std::string>;

struct ContentContext {
    ContentContext(std::filesystem::path root, MaterialCheck& materials, Outputs& outputs, NamedFiles& named)
        : root(std::move(root)), materials(materials), outputs(outputs), named(named) {}

    std::filesystem::path root;
    MaterialCheck& materials;
    Outputs& outputs;
    NamedFiles& named;
    // Files the descriptions compiled read besides themselves: the libraries they use, OBJ files.
    std::vector<std::filesystem::path> reads;
};

// content/scenes/<name>.lua -> <name>.demo, <name>.demo_scene/<mesh>.tvo (+ .tvo.efx), <texture>.png.
void CompileScene(const std::filesystem::path& description, ContentContext& context);
// content/meshes/*.lua: a table of named meshes -> <name>.tvo (+ .tvo.efx) at the top of data/.
void CompileMeshFile(const std::filesystem::path& description, ContentContext& context);
// content/textures/*.lua: a table of named pictures -> <name>.png at the top of data/.
void CompileTextureFile(const std::filesystem::path& description, ContentContext& context);

} // namespace quorvel::build

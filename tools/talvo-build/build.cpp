#include "build.h"

#include "curves.h"
#include "generators.h"
#include "score.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace quorvel::build {

namespace fs = std::filesystem;

namespace {

// The files of a folder with that extension, in name order; none when the folder does not exist.
std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& extension) {
    std::vector<fs::path> files;
    if (!fs::is_directory(folder))
        return files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == extension)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Swap files and backups that editors keep beside the file being edited (".glow.fx.swp", "glow.fx~").
bool EditorsOwn(const fs::path& file) {
    const std::string name = file.filename().string();
    return name.starts_with('.') || name.ends_with('~');
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw BuildError(file.string() + ": cannot be read");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

void CompileEffects(const fs::path& folder, ContentContext& context) {
    std::vector<fs::path> quadMaterials;
    if (!fs::is_directory(folder))
        return;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (!EditorsOwn(entry.path()))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        if (file.extension() == ".fx")
            context.materials.CheckEffectFile(file);
        else if (file.extension() == ".efx")
            quadMaterials.push_back(file);
        else
            throw BuildError(file.string() +
                             ": is neither an effect file (.fx) nor a material script (.efx)");
        context.outputs.Add("fx/" + file.filename().string(), Bytes(ReadText(file)), file.string());
    }
    // After every effect file is known, as scripts name them.
    for (const fs::path& script : quadMaterials)
        context.materials.CheckMaterialScript(script, std::nullopt);
}

void CompileMusic(const fs::path& score, Outputs& outputs) {
    try {
        const auto song = music::ParseScore(ReadText(score), score.string());
        outputs.Add(score.stem().string() + ".xm", formats::XmWriter::File(song).Data(), score.string());
    } catch (const music::ScoreError& error) {
        throw BuildError(error.what());
    }
}

void WriteFile(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(file.parent_path());
    const fs::path temporary = file.string() + ".talvo-build.tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(temporary);
            throw BuildError(file.string() + ": cannot be written");
        }
    }
    std::error_code error;
    fs::rename(temporary, file, error);
    if (error) {
        fs::remove(temporary);
        throw BuildError(file.string() + ": cannot be written (" + error.message() + ")");
    }
}

bool SameBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::error_code error;
    if (!fs::is_regular_file(file, error) || fs::file_size(file, error) != bytes.size())
        return false;
    std::ifstream in(file, std::ios::binary);
    return std::equal(bytes.begin(), bytes.end(), std::istreambuf_iterator<char>(in),
                      [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
}

} // namespace

Outputs CompileContent(const fs::path& contentRoot) {
    Outputs outputs;
    NamedFiles named;
    std::vector<std::string> curveNames;
    const fs::path curves = contentRoot / "curves.lua";
    if (fs::exists(curves))
        outputs.Add("custom.ipo", CompileCurveFile(curves, curveNames), curves.string());

    MaterialCheck materials(contentRoot / "fx", {curveNames.begin(), curveNames.end()});
    ContentContext context{contentRoot, materials, outputs, named};
    CompileEffects(contentRoot / "fx", context);
    for (const fs::path& script : FilesIn(contentRoot, ".efx")) {
        materials.CheckMaterialScript(script, std::nullopt);
        outputs.Add(script.filename().string(), Bytes(ReadText(script)), script.string());
    }
    for (const fs::path& file : FilesIn(contentRoot / "textures", ".lua"))
        CompileTextureFile(file, context);
    for (const fs::path& file : FilesIn(contentRoot / "meshes", ".lua"))
        CompileMeshFile(file, context);
    for (const fs::path& file : FilesIn(contentRoot / "scenes", ".lua"))
        CompileScene(file, context);
    for (const fs::path& score : FilesIn(contentRoot / "music", ".score"))
        CompileMusic(score, outputs);

    named.insert(materials.TexturesNamed().begin(), materials.TexturesNamed().end());
    for (const auto& [path, namedBy] : named)
        if (!path.starts_with("data/") || !outputs.Has(path.substr(5)))
            throw BuildError(namedBy + ": names the file " + path + ", which the build does not make");
    return outputs;
}

std::vector<std::string> WriteOutputs(const Outputs& outputs, const fs::path& dataDir) {
    std::vector<std::string> written;
    for (const auto& [path, bytes] : outputs.Files())
        if (!SameBytes(dataDir / path, bytes)) {
            WriteFile(dataDir / path, bytes);
            written.push_back(path);
        }
    return written;
}

void ConvertObj(const fs::path& in, const fs::path& out) {
    content::MeshData mesh;
    content::ImportError error;
    if (!content::ImportObj(in, mesh, error))
        throw BuildError(error.file + (error.line > 0 ? ":" + std::to_string(error.line) : "") + ": " +
                         error.reason);
    try {
        WriteFile(out, content::EncodeTvo(mesh, 3, {}));
    } catch (const std::invalid_argument& fault) {
        throw BuildError(in.string() + ": " + fault.what());
    }
}

} // namespace quorvel::build

#include "build.h"

#include "contentFile.h"
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

std::vector<ContentUnit> ContentUnits(const fs::path& contentRoot) {
    using Kind = ContentUnit::Kind;
    std::vector<ContentUnit> units;
    if (fs::exists(contentRoot / "curves.lua"))
        units.push_back({Kind::Curves, contentRoot / "curves.lua"});
    std::vector<fs::path> effects;
    if (fs::is_directory(contentRoot / "fx"))
        for (const auto& entry : fs::directory_iterator(contentRoot / "fx"))
            if (!EditorsOwn(entry.path()))
                effects.push_back(entry.path());
    std::sort(effects.begin(), effects.end());
    // Quad materials after every effect file, as their checks read the effect files.
    for (const fs::path& file : effects)
        if (file.extension() != ".efx")
            units.push_back({Kind::Effect, file});
    for (const fs::path& file : effects)
        if (file.extension() == ".efx")
            units.push_back({Kind::QuadMaterial, file});
    const std::pair<Kind, std::vector<fs::path>> lists[] = {
        {Kind::Material, FilesIn(contentRoot, ".efx")},
        {Kind::Textures, FilesIn(contentRoot / "textures", ".lua")},
        {Kind::Meshes, FilesIn(contentRoot / "meshes", ".lua")},
        {Kind::Scene, FilesIn(contentRoot / "scenes", ".lua")},
        {Kind::Music, FilesIn(contentRoot / "music", ".score")}};
    for (const auto& [kind, files] : lists)
        for (const fs::path& file : files)
            units.push_back({kind, file});
    return units;
}

void CompileCurves(const fs::path& file, Outputs& outputs, std::vector<std::string>& names,
                   std::vector<fs::path>& reads) {
    // The curve file lies at the top of the content folder.
    CheckContentFile(file.parent_path(), file);
    outputs.Add("custom.ipo", CompileCurveFile(file, names, &reads), file.string());
}

void CompileUnit(const ContentUnit& unit, ContentContext& context) {
    const fs::path& file = unit.file;
    const std::string name = file.filename().string();
    CheckContentFile(context.root, file);
    switch (unit.kind) {
    case ContentUnit::Kind::Curves:
        throw BuildError(file.string() + ": the curve file is compiled before everything else");
    case ContentUnit::Kind::Effect:
        if (file.extension() != ".fx")
            throw BuildError(file.string() +
                             ": is neither an effect file (.fx) nor a material script (.efx)");
        context.materials.CheckEffectFile(file);
        context.outputs.AddCopy("fx/" + name, file);
        break;
    case ContentUnit::Kind::QuadMaterial:
        context.outputs.AddCopy("fx/" + name, file);
        context.materials.CheckMaterialScript(file, std::nullopt);
        break;
    case ContentUnit::Kind::Material:
        context.materials.CheckMaterialScript(file, std::nullopt);
        context.outputs.AddCopy(name, file);
        break;
    case ContentUnit::Kind::Textures:
        CompileTextureFile(file, context);
        break;
    case ContentUnit::Kind::Meshes:
        CompileMeshFile(file, context);
        break;
    case ContentUnit::Kind::Scene:
        CompileScene(file, context);
        break;
    case ContentUnit::Kind::Music:
        CompileMusic(file, context.outputs);
        break;
    }
}

UnitRecord RecordUnit(const ContentUnit& unit, const fs::path& contentRoot,
                      const std::vector<fs::path>& reads, const Outputs& outputs, std::size_t outputsBefore,
                      const std::vector<ScriptCheck>& checks, std::size_t checksBefore, NamedFiles named) {
    UnitRecord record{
        unit, {ContentKey(contentRoot, unit.file)}, outputs.AddedSince(outputsBefore), {}, std::move(named),
        {}};
    for (const fs::path& file : reads)
        record.reads.insert(ContentKey(contentRoot, file));
    for (const std::string& path : record.outputs)
        if (outputs.IsCopy(path) && outputs.SourceOf(path) != unit.file.string())
            record.copies[path] = outputs.SourceOf(path);
    record.checks.assign(checks.begin() + static_cast<std::ptrdiff_t>(checksBefore), checks.end());
    return record;
}

Outputs CompileContent(const fs::path& contentRoot, DependencyMap* map) {
    Outputs outputs;
    NamedFiles named;
    DependencyMap recorded{contentRoot, {}, {}};
    const std::vector<ContentUnit> units = ContentUnits(contentRoot);
    auto unit = units.begin();
    if (unit != units.end() && unit->kind == ContentUnit::Kind::Curves) {
        std::vector<fs::path> reads;
        CompileCurves(unit->file, outputs, recorded.curveNames, reads);
        recorded.units.push_back(RecordUnit(*unit, contentRoot, reads, outputs, 0, {}, 0, {}));
        ++unit;
    }

    MaterialCheck materials(contentRoot / "fx", {recorded.curveNames.begin(), recorded.curveNames.end()});
    for (; unit != units.end(); ++unit) {
        NamedFiles unitNamed;
        ContentContext context(contentRoot, materials, outputs, unitNamed);
        const std::size_t outputsBefore = outputs.Count();
        const std::size_t checksBefore = materials.Checks().size();
        CompileUnit(*unit, context);
        // The first to name a file is the one a fault names.
        named.insert(unitNamed.begin(), unitNamed.end());
        recorded.units.push_back(RecordUnit(*unit, contentRoot, context.reads, outputs, outputsBefore,
                                            materials.Checks(), checksBefore, std::move(unitNamed)));
    }

    named.insert(materials.TexturesNamed().begin(), materials.TexturesNamed().end());
    for (const auto& [path, namedBy] : named)
        if (!path.starts_with("data/") || !outputs.Has(path.substr(5)))
            throw BuildError(namedBy + ": names the file " + path + ", which the build does not make");
    if (map != nullptr)
        *map = std::move(recorded);
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

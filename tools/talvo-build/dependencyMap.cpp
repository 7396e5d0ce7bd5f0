#include "dependencyMap.h"

#include "build.h"

#include <algorithm>

namespace quorvel::build {

namespace fs = std::filesystem;

namespace {

bool Reaches(const std::set<std::string>& reads, const std::set<std::string>& changed) {
    return std::any_of(reads.begin(), reads.end(),
                       [&](const std::string& file) { return changed.count(file); });
}

bool ReachesCheck(const ScriptCheck& check, const fs::path& root, const std::set<std::string>& changed) {
    return std::any_of(check.reads.begin(), check.reads.end(),
                       [&](const fs::path& file) { return changed.count(ContentKey(root, file)) != 0; });
}

// Every content file something read, copied or checked.
std::set<std::string> FilesRead(const DependencyMap& map) {
    std::set<std::string> files;
    for (const UnitRecord& record : map.units) {
        files.insert(record.reads.begin(), record.reads.end());
        for (const auto& [path, copied] : record.copies)
            files.insert(ContentKey(map.root, copied));
        for (const ScriptCheck& check : record.checks)
            for (const fs::path& file : check.reads)
                files.insert(ContentKey(map.root, file));
    }
    return files;
}

// Whether the changed files are ones the map can follow: every unit file it knows is still there and
// no new one appeared, no folder changed, and nothing that something read is gone (a folder moved
// away reports the folder alone).
bool Decidable(const DependencyMap& map, const std::set<std::string>& changed) {
    if (changed.count("") != 0 || changed.count(".") != 0)
        return false;
    std::vector<std::string> known, present;
    for (const UnitRecord& record : map.units)
        known.push_back(ContentKey(map.root, record.unit.file));
    for (const ContentUnit& unit : ContentUnits(map.root))
        present.push_back(ContentKey(map.root, unit.file));
    if (known != present)
        return false;
    const std::set<std::string> read = FilesRead(map);
    for (const std::string& key : changed) {
        std::error_code error;
        const fs::path file = map.root / key;
        if (key.starts_with("..") || fs::is_directory(file, error))
            return false;
        if (fs::exists(file, error))
            continue;
        const auto inside = read.lower_bound(key + "/");
        if (read.count(key) != 0 || (inside != read.end() && inside->starts_with(key + "/")))
            return false;
    }
    return true;
}

// The checks a full build makes across units: no two units make one file, and every file named is made.
bool CrossChecked(const DependencyMap& map) {
    std::set<std::string> made;
    NamedFiles named;
    for (const UnitRecord& record : map.units) {
        for (const std::string& path : record.outputs)
            if (!made.insert(path).second)
                return false;
        named.insert(record.named.begin(), record.named.end());
        for (const ScriptCheck& check : record.checks)
            for (const std::string& texture : check.textures)
                named.emplace(texture, check.script.string());
    }
    return std::all_of(named.begin(), named.end(), [&](const auto& entry) {
        return entry.first.starts_with("data/") && made.count(entry.first.substr(5)) != 0;
    });
}

} // namespace

std::string ContentKey(const fs::path& root, const fs::path& file) {
    return file.lexically_normal().lexically_relative(root.lexically_normal()).string();
}

std::optional<Outputs> CompileChanges(const DependencyMap& map, const std::vector<fs::path>& changedFiles,
                                      DependencyMap& updated) {
    std::set<std::string> changed;
    for (const fs::path& file : changedFiles)
        changed.insert(ContentKey(map.root, file));
    if (!Decidable(map, changed))
        return std::nullopt;

    updated = map;
    Outputs outputs;
    try {
        auto record = updated.units.begin();
        if (record != updated.units.end() && record->unit.kind == ContentUnit::Kind::Curves) {
            if (Reaches(record->reads, changed)) {
                std::vector<std::string> names;
                std::vector<fs::path> reads;
                CompileCurves(record->unit.file, outputs, names, reads);
                // Every material check binds curves by name.
                if (names != map.curveNames)
                    return std::nullopt;
                *record = RecordUnit(record->unit, map.root, reads, outputs, 0, {}, 0, {});
            }
            ++record;
        }
        MaterialCheck materials(map.root / "fx", {map.curveNames.begin(), map.curveNames.end()});
        for (; record != updated.units.end(); ++record) {
            if (Reaches(record->reads, changed)) {
                NamedFiles named;
                ContentContext context(map.root, materials, outputs, named);
                const std::size_t outputsBefore = outputs.Count();
                const std::size_t checksBefore = materials.Checks().size();
                CompileUnit(record->unit, context);
                *record = RecordUnit(record->unit, map.root, context.reads, outputs, outputsBefore,
                                     materials.Checks(), checksBefore, std::move(named));
                continue;
            }
            for (const auto& [path, copied] : record->copies)
                if (changed.count(ContentKey(map.root, copied)) != 0)
                    outputs.AddCopy(path, copied);
            for (ScriptCheck& check : record->checks)
                if (ReachesCheck(check, map.root, changed)) {
                    materials.CheckMaterialScript(check.script, check.meshStreams);
                    check = materials.Checks().back();
                }
        }
    } catch (const std::exception&) {
        // The full build finds the fault again and reports it in its own words and order.
        return std::nullopt;
    }
    if (!CrossChecked(updated))
        return std::nullopt;
    return outputs;
}

} // namespace quorvel::build

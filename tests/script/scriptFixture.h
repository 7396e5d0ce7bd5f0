// Shared by the material script tests: writes a script into a fresh data folder, parses it against
// resources that record what the script asked for, and reads back the log's ERROR rows.
#pragma once

#include "core/logging.h"
#include "core/textConversion.h"
#include "script/materialScript.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace quorvel::test {

// Stands in for the resource manager and the curve table. A texture path containing "missing" fails
// the way the resource manager reports a file it cannot load.
class RecordingResources : public engine::gfx::MaterialScriptResources {
public:
    boost::shared_ptr<engine::core::Resource> LoadTexture(const std::wstring& path) override {
        textures.push_back(path);
        if (path.find(L"missing") != std::wstring::npos)
            LOG_ERROR("Failed to create texture " + engine::core::WideToNarrow(path));
        return {};
    }
    boost::shared_ptr<engine::core::Resource> GetRenderTarget(const std::wstring& name) override {
        targets.push_back(name);
        return {};
    }
    const float* FindCurve(const std::string& name) override {
        curves.push_back(name);
        auto found = curveValues.find(name);
        return found == curveValues.end() ? nullptr : &found->second;
    }

    std::vector<std::wstring> textures;
    std::vector<std::wstring> targets;
    std::vector<std::string> curves;
    std::map<std::string, float> curveValues;
};

// The text of every ERROR row of a log, in order.
inline std::vector<std::string> ErrorRows(const std::string& log) {
    std::vector<std::string> rows;
    std::istringstream lines(log);
    const std::string end = "</td></tr>";
    for (std::string line; std::getline(lines, line);) {
        if (line.find("<td>ERROR</td>") == std::string::npos || line.size() < end.size())
            continue;
        std::string cells = line.substr(0, line.size() - end.size());
        rows.push_back(cells.substr(cells.rfind("<td>") + 4));
    }
    return rows;
}

class MaterialScriptTest : public ::testing::Test {
protected:
    std::string Write(const std::string& text, const std::string& name = "data/test.efx") {
        std::ofstream(dir.Root() / name, std::ios::binary) << text;
        return name;
    }
    std::vector<engine::gfx::EffectCandidate> Parse(const std::string& text) {
        return engine::gfx::ParseMaterialScript(Write(text), resources);
    }
    // Parses text expecting it to fail; returns the single ERROR row it wrote.
    std::string ParseError(const std::string& text) {
        EXPECT_THROW(Parse(text), engine::core::Exception);
        std::vector<std::string> rows = ErrorRows(dir.CloseAndRead());
        EXPECT_EQ(rows.size(), 1u);
        return rows.empty() ? std::string() : rows.front();
    }

    ScopedLogDirectory dir;
    RecordingResources resources;
};

} // namespace quorvel::test

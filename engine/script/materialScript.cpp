#include "script/materialScript.h"

#include "anim/ipoFile.h"
#include "core/logging.h"
#include "core/textConversion.h"
#include "resources/dataPaths.h"
#include "resources/resourceTypes.h"
#include "script/luaWrapper.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace engine::gfx {

namespace {

// Truncates toward zero. Numbers no int can hold (NaN, huge values) would make the plain conversion
// undefined: NaN reads as 0 and the others stop at the nearest end of the int range.
int TruncateToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

template <typename T>
std::array<std::uint8_t, 4> RawBytes(T value) {
    static_assert(sizeof(T) == 4);
    std::array<std::uint8_t, 4> bytes;
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

// The rows the format prescribes for a misshapen script name neither the file nor the place in it: the
// WARNING row written just before each does ("data/a.efx: effect[1].pass[2].params must be ...").
[[noreturn]] void Fail(const std::string& where, const char* row) {
    LOG_WARNING(where);
    LOG_ERROR(row);
}

void ExpectTable(const LuaRef& value, const char* row) {
    if (!value.IsTable())
        Fail(value.Path() + " must be a table, not a " + value.TypeName(), row);
}

template <std::size_t N>
std::array<float, N> ReadFloats(const LuaRef& value, const char* notTable) {
    ExpectTable(value, notTable);
    std::array<float, N> floats;
    for (std::size_t i = 0; i < N; ++i)
        floats[i] = static_cast<float>(value.Element(static_cast<int>(i) + 1).ToNumber());
    return floats;
}

// "tex0" to "tex6" name a slot of the drawn object's material; -1 for any other text.
int MaterialSlot(const std::string& text) {
    if (text.size() == 4 && text.compare(0, 3, "tex") == 0 && text[3] >= '0' && text[3] <= '6')
        return text[3] - '0';
    return -1;
}

// A file the script names must lie inside the data folder; `where` names the value in the error.
void RequireDataFile(const LuaRef& where, const std::string& path) {
    if (!core::LiesInDataFolder(path))
        LOG_ERROR(where.Path() + ": \"" + path + "\" lies outside the data folder");
}

// The effect file of a pass: `fx` + ".fx", read from data/fx/.
std::string EffectFile(const LuaRef& pass) {
    LuaRef fx = pass.Field("fx");
    std::string file = fx.ToString() + ".fx";
    RequireDataFile(fx, "data/fx/" + file);
    return file;
}

void ReadParameter(const LuaRef& description, ParameterBlock& block, MaterialScriptResources& resources) {
    ExpectTable(description, "Parameter description must be a table");
    LuaRef typeValue = description.Element(1);
    std::string type = typeValue.ToString();
    std::string name = description.Element(2).ToString();
    LuaRef value = description.Element(3);
    if (type == "int") {
        block.scalarValues.emplace_back(name, RawBytes(TruncateToInt(value.ToNumber())));
    } else if (type == "ipo") {
        block.curveValues.emplace_back(name, resources.FindCurve(value.ToString()));
    } else if (type == "float") {
        block.scalarValues.emplace_back(name, RawBytes(static_cast<float>(value.ToNumber())));
    } else if (type == "float2") {
        block.float2Values.emplace_back(name, ReadFloats<2>(value, "float2 value must be a table"));
    } else if (type == "float3") {
        auto v = ReadFloats<3>(value, "float3 value must be a table");
        block.float3Values.emplace_back(name, math::Vector3f(v[0], v[1], v[2]));
    } else if (type == "float4") {
        auto v = ReadFloats<4>(value, "float4 value must be a table");
        block.float4Values.emplace_back(name, math::Vector4f(v[0], v[1], v[2], v[3]));
    } else if (type == "bool") {
        block.boolValues.emplace_back(name, value.ToBoolean());
    } else if (type == "tex") {
        std::string text = value.ToString();
        int slot = MaterialSlot(text);
        if (slot >= 0)
            block.slotValues.emplace_back(name, slot);
        else {
            RequireDataFile(value, text);
            block.textureValues.emplace_back(name, resources.LoadTexture(core::NarrowToWide(text)));
        }
    } else if (type == "target") {
        block.textureValues.emplace_back(name,
                                         resources.GetRenderTarget(core::NarrowToWide(value.ToString())));
    } else {
        Fail(typeValue.Path() + ": \"" + type + "\" is not a parameter type",
             "Unsupported parameter type( supported: int, float, bool, tex, target )");
    }
}

void ReadParameters(const LuaRef& pass, ParameterBlock& block, MaterialScriptResources& resources) {
    LuaRef params = pass.Field("params");
    ExpectTable(params, "Params must be a table");
    for (int i = 1; params.HasElement(i); ++i)
        ReadParameter(params.Element(i), block, resources);
}

int StreamId(const LuaRef& stream) {
    const std::string name = stream.ToString();
    if (name == "pos")
        return 0;
    if (name == "tex")
        return 2;
    if (name == "normal")
        return 1;
    if (name == "tbn")
        return 3;
    Fail(stream.Path() + ": \"" + name + "\" is not a stream",
         "Unsupported stream type ( supported: pos, normal, tex, tbn )");
}

std::set<int> ReadStreams(const LuaRef& pass) {
    LuaRef streams = pass.Field("streams");
    ExpectTable(streams, "Streams must be a table");
    std::set<int> ids;
    for (int i = 1; streams.HasElement(i); ++i)
        ids.insert(StreamId(streams.Element(i)));
    return ids;
}

PassDescription ReadPass(const LuaRef& pass, MaterialScriptResources& resources) {
    pass.RequireTable();
    PassDescription description;
    description.priority = TruncateToInt(pass.Field("priority").ToNumber());
    description.fxFile = EffectFile(pass);
    description.technique = pass.Field("tec").ToString();
    description.renderTarget = pass.Field("rtt_stex").ToString();
    description.renderToTexture = !description.renderTarget.empty();
    // Only so that the target exists from now on; the shader fetches it again when it is built.
    if (description.renderToTexture)
        resources.GetRenderTarget(core::NarrowToWide(description.renderTarget));
    ReadParameters(pass, description.params, resources);
    description.streams = ReadStreams(pass);
    return description;
}

EffectCandidate ReadCandidate(const LuaRef& candidate, MaterialScriptResources& resources) {
    candidate.RequireTable();
    EffectCandidate result;
    result.priority = TruncateToInt(candidate.Field("priority").ToNumber());
    LuaRef passes = candidate.Field("pass");
    ExpectTable(passes, "Pass must be a table");
    for (int i = 1; passes.HasElement(i); ++i)
        result.passes.push_back(ReadPass(passes.Element(i), resources));
    return result;
}

class EngineResources : public MaterialScriptResources {
public:
    boost::shared_ptr<core::Resource> LoadTexture(const std::wstring& path) override {
        return core::ResourceManager::Get()->GetResource<core::resources::ManagedTexture>(path);
    }
    boost::shared_ptr<core::Resource> GetRenderTarget(const std::wstring& name) override {
        return core::ResourceManager::Get()->GetResource<core::resources::RenderTargetTexture>(name);
    }
    // Reached only when a script names a curve, so scripts without curves never load the curve file.
    const float* FindCurve(const std::string& name) override { return IPOFile::Get()->Find(name); }
};

} // namespace

std::vector<EffectCandidate> ParseMaterialScript(std::string scriptPath, MaterialScriptResources& resources) {
    LOG_MESSAGE("Parsing material script " + scriptPath);
    LuaScript script(scriptPath);
    LuaRef effect = script.GetGlobal("effect");
    ExpectTable(effect, "Effect must be a table");
    std::vector<EffectCandidate> candidates;
    for (int i = 1; effect.HasElement(i); ++i)
        candidates.push_back(ReadCandidate(effect.Element(i), resources));
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const EffectCandidate& a, const EffectCandidate& b) { return a.priority > b.priority; });
    return candidates;
}

std::vector<EffectCandidate> ParseMaterialScript(std::string scriptPath) {
    EngineResources resources;
    return ParseMaterialScript(std::move(scriptPath), resources);
}

} // namespace engine::gfx

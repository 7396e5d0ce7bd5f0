// Material scripts: an ".efx" file is a Lua chunk whose global `effect` lists the alternative ways
// (effect candidates) of drawing a material, each with its passes: effect file, technique, render
// target, parameter values and the vertex streams the pass needs. The effect pool builds the first
// candidate the device supports; the effect-file shader sets the parameter values when it draws.
#pragma once

#include "effects/parameterTable.h"

#include <engine/math.h>

#include <boost/shared_ptr.hpp>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace engine::core {
class Resource;
} // namespace engine::core

namespace engine::gfx {

template <typename T>
using NamedValues = std::vector<std::pair<std::string, T>>;

// The parameter values of one pass, list by list, each in script order. The names are the effect
// parameters to set, looked up by name in the effect file; the effect-file shader fills the handle
// lists, one handle per value entry in the same order, when it is built (they stay empty here).
struct ParameterBlock {
    NamedValues<math::Vector4f> float4Values;
    NamedValues<math::Vector3f> float3Values;
    NamedValues<std::array<float, 2>> float2Values;
    // Four raw bytes set as they are: an int from "int" and a float from "float" keep their own bit
    // patterns in one list.
    NamedValues<std::array<std::uint8_t, 4>> scalarValues;
    // Address of a global curve's current value, read at every draw; null when no curve has the name.
    NamedValues<const float*> curveValues;
    NamedValues<bool> boolValues;
    // A texture loaded from a file, or a render-target texture.
    NamedValues<boost::shared_ptr<core::Resource>> textureValues;
    // A texture slot 0 to 6 of the drawn object's material.
    NamedValues<int> slotValues;

    std::vector<ParameterHandle> float4Handles;
    std::vector<ParameterHandle> float3Handles;
    std::vector<ParameterHandle> float2Handles;
    std::vector<ParameterHandle> scalarHandles;
    std::vector<ParameterHandle> curveHandles;
    std::vector<ParameterHandle> boolHandles;
    std::vector<ParameterHandle> textureHandles;
    std::vector<ParameterHandle> slotHandles;
};

struct PassDescription {
    // Drawing priority of the pass's shader: lower values are drawn first.
    int priority = 0;
    std::string fxFile;
    std::string technique;
    bool renderToTexture = false;
    std::string renderTarget;
    ParameterBlock params;
    // Vertex streams the pass needs: 0 positions, 1 normals, 2 texture coordinates, 3 tangent frame.
    std::set<int> streams;
};

struct EffectCandidate {
    // Higher priorities are tried first.
    int priority = 0;
    std::vector<PassDescription> passes;
};

// What a script reaches outside itself: textures, render targets and the global curves. The engine
// answers through its resource manager and curve table; a call that fails reports its own ERROR row
// (a texture file that cannot be loaded, for one) and throws.
class MaterialScriptResources {
public:
    virtual ~MaterialScriptResources() = default;
    // The texture loaded from the file at path, loaded now if it is new.
    virtual boost::shared_ptr<core::Resource> LoadTexture(const std::wstring& path) = 0;
    // The render-target texture of that name, created 256 by 256 if it is new.
    virtual boost::shared_ptr<core::Resource> GetRenderTarget(const std::wstring& name) = 0;
    // The address of the named curve's current value, or null when no curve has that name.
    virtual const float* FindCurve(const std::string& name) = 0;
};

// Runs the script at scriptPath and returns its candidates sorted by priority, highest first, equal
// priorities in script order. Textures and render targets the script names are requested at once and
// every curve name is looked up. Any fault in the script is an ERROR row (which throws); nothing is
// returned then.
std::vector<EffectCandidate> ParseMaterialScript(std::string scriptPath, MaterialScriptResources& resources);
// The same with the engine's resource manager and global curve player answering the script.
std::vector<EffectCandidate> ParseMaterialScript(std::string scriptPath);

} // namespace engine::gfx

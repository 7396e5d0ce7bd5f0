// Material scripts: the Lua chunk run in the engine's sandbox with its limits, its result read with
// the read limits into effect candidates, against resources that answer like the engine's (textures
// and targets exist, some curves are known). What the effect pool does next is checked on the result:
// candidates in priority order, and every pass naming an effect file inside data/fx and only the
// streams and texture slots that exist.
#include "script/materialScript.h"
#include "fuzzSupport.h"
#include "resources/dataPaths.h"

#include <engine/exception.h>

#include <algorithm>
#include <map>

using namespace engine::gfx;

namespace {

class FuzzResources : public MaterialScriptResources {
public:
    boost::shared_ptr<engine::core::Resource> LoadTexture(const std::wstring&) override { return {}; }
    boost::shared_ptr<engine::core::Resource> GetRenderTarget(const std::wstring&) override { return {}; }
    const float* FindCurve(const std::string& name) override {
        const auto found = curves.find(name);
        return found != curves.end() ? &found->second : nullptr;
    }

private:
    std::map<std::string, float> curves = {{"fade", 0.5f}, {"flash", 1.0f}};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = quorvel::fuzz::WriteScratchFile("fuzz.efx", data, size);
    FuzzResources resources;
    std::vector<EffectCandidate> candidates;
    try {
        candidates = ParseMaterialScript(path, resources);
    } catch (const engine::core::Exception&) {
        return 0;
    }
    FUZZ_CHECK(std::is_sorted(
        candidates.begin(), candidates.end(),
        [](const EffectCandidate& a, const EffectCandidate& b) { return a.priority > b.priority; }));
    for (const EffectCandidate& candidate : candidates) {
        for (const PassDescription& pass : candidate.passes) {
            FUZZ_CHECK(pass.fxFile.ends_with(".fx"));
            FUZZ_CHECK(engine::core::LiesInDataFolder("data/fx/" + pass.fxFile));
            FUZZ_CHECK(pass.renderToTexture == !pass.renderTarget.empty());
            for (int stream : pass.streams)
                FUZZ_CHECK(stream >= 0 && stream <= 3);
            for (const auto& [name, slot] : pass.params.slotValues)
                FUZZ_CHECK(slot >= 0 && slot <= 6);
        }
    }
    return 0;
}

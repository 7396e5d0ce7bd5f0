// Effect files: the header parser and the section scanner on the text, then what building an effect
// does with the result short of the GL compiler: the GLSL text of both stages of every pass, the
// parameter table with every setter on every parameter, the look-ups by name and semantic and the
// annotation reads. The text is also read as a compiler log, whose parser takes whatever the driver says.
#include "effects/effectParser.h"
#include "effects/parameterTable.h"
#include "effects/stageSource.h"
#include "fuzzSupport.h"

#include <string_view>

using namespace engine::gfx;

namespace {

void UseParameters(const EffectSource& effect, SharedParameterPool& pool) {
    ParameterTable table(effect, &pool);
    FUZZ_CHECK(table.Count() == effect.parameters.size());
    const float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (std::size_t i = 0; i < table.Count(); ++i) {
        const ParameterHandle parameter = table.At(i);
        FUZZ_CHECK(table.GetParameterByName(parameter->Name()) != nullptr);
        if (!parameter->Semantic().empty())
            FUZZ_CHECK(table.GetParameterBySemantic(parameter->Semantic()) != nullptr);
        table.SetFloat(parameter, 0.5f);
        table.SetVector(parameter, engine::math::Vector4f(1, 2, 3, 4));
        table.SetMatrix(parameter, engine::math::Matrix4x4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
        table.SetRawValue(parameter, matrix, 0, 4);
        table.SetRawValue(parameter, matrix, 60, 4);
        table.SetTexture(parameter, nullptr);
        for (const Annotation& annotation : parameter->Annotations()) {
            bool flag = false;
            std::string text;
            GetBool(&annotation, flag);
            GetString(&annotation, text);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)ParseCompilerLog(text, "fuzz.fx", 1);
    EffectDiagnostic error;
    const std::optional<EffectSource> effect = ParseEffect(text, "fuzz.fx", error);
    if (!effect) {
        FUZZ_CHECK(!error.message.empty());
        return 0;
    }
    for (const TechniqueSource& technique : effect->techniques) {
        FUZZ_CHECK(effect->FindTechnique(technique.name) != nullptr);
        for (const PassSource& pass : technique.passes) {
            for (std::size_t section : pass.vertexSections)
                FUZZ_CHECK(section < effect->sections.size());
            for (std::size_t section : pass.fragmentSections)
                FUZZ_CHECK(section < effect->sections.size());
            (void)BuildStageSource(*effect, pass, ShaderStage::Vertex);
            (void)BuildStageSource(*effect, pass, ShaderStage::Fragment);
        }
    }
    // Two tables on one pool: the second meets the shared parameters the first made.
    SharedParameterPool pool;
    UseParameters(*effect, pool);
    UseParameters(*effect, pool);
    return 0;
}

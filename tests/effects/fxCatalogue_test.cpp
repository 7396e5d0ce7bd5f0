// The catalogue of malformed effect files, checked in under data/malformed/: loaded as the engine loads
// them (a resource on a device), each ends in the ERROR row "Failed to create effect <file>" after a
// WARNING row with the file, the line and what is wrong there.
#include "platform/window.h"
#include "render/recordingDevice.h"
#include "resources/fxEffect.h"
#include "resources/resourceManager.h"
#include "support/malformedCatalogue.h"

#include <engine/exception.h>

#include <filesystem>

using namespace quorvel::test;
using engine::core::ResourceManager;
using engine::core::resources::FXEffect;

namespace {

struct EffectCase {
    const char* name;
    const char* reason; // what the WARNING row says after "Effect <file>: "
};

const EffectCase kCases[] = {
    {"unknownType", "data/unknownType.fx:1: expected a parameter declaration or 'technique', found 'float5'"},
    {"missingSemicolon",
     "data/missingSemicolon.fx:2: expected ';' at the end of parameter 'Tint', found 'technique'"},
    {"tooManyComponents",
     "data/tooManyComponents.fx:1: the initial value of float2 'Offset' needs exactly 2 numbers in braces"},
    {"unknownSection",
     "data/unknownSection.fx:1: no glsl section named 'Missing' (add a '-- glsl Missing' section)"},
    {"unknownState",
     "data/unknownState.fx:1: unknown state 'Sparkle' in pass 'P' of technique 'T' (known: VertexShader, "
     "FragmentShader, AlphaBlendEnable, SrcBlend, DestBlend, BlendOp, ZEnable, ZFunc, ZWriteEnable, "
     "CullMode, FillMode, ColorWriteEnable, AlphaTestEnable, AlphaFunc, AlphaRef)"},
    {"badStateValue", "data/badStateValue.fx:1: 'Sideways' is not a value of CullMode (use None, CW, CCW)"},
    {"unterminatedComment", "data/unterminatedComment.fx:1: comment opened here is not closed with '*/'"},
    {"unterminatedString",
     "data/unterminatedString.fx:1: string is not closed with '\"' before the end of the line"},
    {"duplicateSection", "data/duplicateSection.fx:4: glsl section 'V' is already defined on line 2"},
    {"markerWithoutName", "data/markerWithoutName.fx:2: section marker has no name; write '-- glsl Name'"},
    {"versionLine", "data/versionLine.fx:3: #version is not allowed in a glsl section: the framework starts "
                    "every stage with '#version 330 core'"},
    {"unclosedTechnique",
     "data/unclosedTechnique.fx:1: pass 'P' of technique 'T' names no vertex code (VertexShader = Section;)"},
    {"binaryGarbage", "data/binaryGarbage.fx:1: unexpected byte 0"},
};

} // namespace

TEST(FxCatalogue, EveryMalformedEffectFileIsRefusedWithItsReason) {
    const std::filesystem::path folder = std::filesystem::path(QUORVEL_TEST_DATA) / "malformed";
    for (const EffectCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ScopedLogDirectory dir;
        const std::string file = std::string("data/") + c.name + ".fx";
        std::filesystem::copy_file(folder / (std::string(c.name) + ".fx"), file);
        engine::core::CWin32Window::Get()->device = new RecordingDevice();
        EXPECT_THROW(ResourceManager::Get()->GetResource<FXEffect>(engine::core::NarrowToWide(file)),
                     engine::core::Exception);
        delete ResourceManager::mInstance;
        delete engine::core::CWin32Window::mInstance;
        ExpectReport(LastFailure(dir.CloseAndRead()), file, "Effect " + file + ": " + c.reason,
                     "Failed to create effect " + file);
    }
}

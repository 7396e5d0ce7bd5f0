// Turns a pass of a parsed effect into the GLSL text of each stage, ready for the compiler: the
// version line, a uniform for every parameter, the pass's sections under #line directives so that the
// compiler reports lines of the effect file, and the alpha test when the pass enables it. Also reads
// the compiler's log back into diagnostics naming the effect file.
#pragma once

#include "effects/effectDiagnostic.h"
#include "effects/effectSource.h"

#include <string>
#include <string_view>
#include <vector>

namespace engine::gfx {

enum class ShaderStage { Vertex, Fragment };

// Code the framework writes is numbered in GLSL source string 1; the effect file's code keeps string
// 0 with the file's own line numbers.
inline constexpr int kGeneratedSourceString = 1;

std::string BuildStageSource(const EffectSource& effect, const PassSource& pass, ShaderStage stage);

// One diagnostic per message line of a GLSL compile or link log, for the effect file. Lines of the
// file's code keep their number; messages without one, or about generated code, get fallbackLine
// (the line of the pass). A stage named before a line by the device ("vertex shader: ", "link: ")
// is kept at the front of the messages that follow it.
std::vector<EffectDiagnostic> ParseCompilerLog(std::string_view log, const std::string& fileName,
                                               int fallbackLine);

} // namespace engine::gfx

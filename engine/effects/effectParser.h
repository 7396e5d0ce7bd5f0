// Reads effect files: the declaration header (parameters, techniques, passes and their states) by a
// small hand-written recursive-descent parser, and the "-- glsl Name" sections it refers to. The
// language is described in docs/effect-language.md.
#pragma once

#include "effects/effectDiagnostic.h"
#include "effects/effectSource.h"

#include <optional>
#include <string>
#include <string_view>

namespace engine::gfx {

// Parses the whole text of an effect file. On failure returns nothing and fills error with fileName,
// the line and what is wrong; parsing stops at the first problem.
std::optional<EffectSource> ParseEffect(std::string_view text, const std::string& fileName,
                                        EffectDiagnostic& error);

// Reads the file and parses it; a file that cannot be read fails with line 0.
std::optional<EffectSource> ReadEffectFile(const std::string& path, EffectDiagnostic& error);

} // namespace engine::gfx

// The GLSL half of an effect file: splitting the text at its "-- glsl Name" marker lines, and a light
// scan of each section for what the framework must know without a GLSL grammar: the global "in" and
// "out" variables, whether it defines main(), and a forbidden #version line.
#pragma once

#include "effects/effectDiagnostic.h"
#include "effects/effectSource.h"

#include <string_view>
#include <vector>

namespace engine::gfx {

// Everything before the first marker line is the declaration header; each marker starts a section
// that runs to the next marker or the end of the text. Fails on a malformed marker or a repeated name.
bool SplitSections(std::string_view text, std::string_view& header, std::vector<GlslSection>& sections,
                   EffectDiagnostic& error);

// Fills the section's inputs, outputs and definesMain. Fails on a #version line, which the framework
// writes itself.
bool ScanSection(GlslSection& section, EffectDiagnostic& error);

} // namespace engine::gfx

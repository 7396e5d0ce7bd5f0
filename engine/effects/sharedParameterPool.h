// The pool effects are created into: every parameter marked `shared` with the same name and type has
// one storage here, so a value set through one effect is seen by all. (Not the engine's EffectPool,
// which builds material effects from scripts.)
#pragma once

#include "effects/parameterValue.h"

#include <map>
#include <memory>
#include <string>
#include <utility>

namespace engine::gfx {

class SharedParameterPool {
public:
    // The storage for a shared parameter. The first declaration seen creates it, with its initial
    // value; later declarations of the same name and type get the same storage and their own initial
    // values are ignored, so creating another effect never resets a value already set.
    std::shared_ptr<ParameterValue> Acquire(const ParameterSource& source);

    std::size_t Count() const { return values.size(); }

private:
    std::map<std::pair<std::string, ParameterType>, std::shared_ptr<ParameterValue>> values;
};

} // namespace engine::gfx

#include "effects/sharedParameterPool.h"

namespace engine::gfx {

std::shared_ptr<ParameterValue> SharedParameterPool::Acquire(const ParameterSource& source) {
    std::shared_ptr<ParameterValue>& value = values[{source.name, source.type}];
    if (!value)
        value = std::make_shared<ParameterValue>(source);
    return value;
}

} // namespace engine::gfx

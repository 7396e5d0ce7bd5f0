#include <engine/module.h>

namespace engine::core {

Module::Module() = default;
Module::~Module() = default;

bool Module::SpareQuery() {
    return true;
}
void Module::SpareHookA() {}
void Module::SpareHookB() {}

} // namespace engine::core

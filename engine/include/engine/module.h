// The unit of per-frame work. The kernel starts a module when it is registered, updates it once per
// pass in ascending priority while it is enabled, and stops it when the demo quits. Programs derive
// their own modules from it; the slot order below is shared with them.
#pragma once

#include <engine/export.h>

#include <string>

namespace engine::core {

class ENGINE_API Module {
public:
    Module();
    virtual ~Module();

    // Reserved slots: never called by the kernel.
    virtual bool SpareQuery();
    virtual bool Start() = 0;
    virtual void Update() = 0;
    virtual void SpareHookA();
    virtual void SpareHookB();
    virtual void Stop() = 0;

    std::wstring name = L"untitled";
    int priority = 10000;
    bool enabled = true;
};

} // namespace engine::core

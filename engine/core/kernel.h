// The scheduler: modules registered under integer IDs, started at registration, updated once per pass
// of the main loop in ascending priority, and all stopped when a quit request arrives. The kernel never
// owns a module.
#pragma once

#include <engine/module.h>
#include <engine/singleton.h>

#include <map>
#include <vector>

namespace engine::core {

class Kernel : public pattern::Singleton<Kernel> {
public:
    ~Kernel() override;

    // Registers and starts the module. A failing Start is reported and the module stays registered.
    bool AddModule(Module* module, int id);
    // The module registered under id, or null when no module has that ID.
    Module* GetModule(int id) const;
    // The main loop: returns once the kill step has stopped every module.
    bool Run();
    // Takes effect at the top of the next pass; the rest of the current pass still runs.
    void Quit();

private:
    void RunPass();
    void KillAll();

    std::vector<Module*> activeModules;
    std::vector<Module*> retiredModules;
    std::map<int, Module*> modulesById;
    bool running = false;
    bool quitRequested = false;
};

} // namespace engine::core

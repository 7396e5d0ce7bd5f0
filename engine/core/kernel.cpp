#include "core/kernel.h"

#include "core/logging.h"
#include "core/textConversion.h"
#include "platform/messageBox.h"

#include <algorithm>
#include <exception>
#include <string>

namespace engine::core {

namespace {

const wchar_t kStandardExceptionCaption[] = L"Unexpected error";

void ReportLoopFailure(const std::wstring& text, const std::wstring& function) {
    LOG_WARNING("Caught exception in main game loop: \"" + WideToNarrow(text) + "\" in " +
                WideToNarrow(function));
    platform::ShowMessageBox(text, function, platform::MessageBoxOwner::None);
}

// Runs one step of the loop and reports what escapes it. The engine's own exception is the designed
// failure path; a standard exception from a module is reported the same way, so that it cannot end the
// demo without the log being closed properly.
template <typename Step>
void Guarded(Step step) {
    try {
        step();
    } catch (Exception e) {
        ReportLoopFailure(e.GetText(), e.GetFunction());
    } catch (const std::exception& e) {
        ReportLoopFailure(NarrowToWide(e.what()), kStandardExceptionCaption);
    }
}

} // namespace

Kernel::~Kernel() {
    activeModules.clear();
    retiredModules.clear();
    modulesById.clear();
}

bool Kernel::AddModule(Module* module, int id) {
    LOG_MESSAGE("Adding new module ID: " + std::to_string(id));
    modulesById.insert({id, module});
    activeModules.push_back(module);
    std::stable_sort(activeModules.begin(), activeModules.end(),
                     [](const Module* a, const Module* b) { return a->priority < b->priority; });
    try {
        module->Start();
        LOG_MESSAGE("Module sucessfully started");
    } catch (Exception e) {
        LOG_WARNING("Failed to start module");
        platform::ShowMessageBox(e.GetText(), e.GetFunction(), platform::MessageBoxOwner::MainWindow);
    } catch (const std::exception& e) {
        LOG_WARNING("Failed to start module");
        platform::ShowMessageBox(NarrowToWide(e.what()), kStandardExceptionCaption,
                                 platform::MessageBoxOwner::MainWindow);
    }
    return true;
}

Module* Kernel::GetModule(int id) const {
    auto found = modulesById.find(id);
    return found == modulesById.end() ? nullptr : found->second;
}

bool Kernel::Run() {
    LOG_MESSAGE("Starting main loop");
    running = true;
    while (running) {
        if (quitRequested)
            KillAll();
        else
            Guarded([this] { RunPass(); });
    }
    return true;
}

void Kernel::RunPass() {
    for (std::size_t i = 0; i < activeModules.size();) {
        Module* module = activeModules[i];
        if (module->enabled) {
            module->Update();
            ++i;
            continue;
        }
        // Retire it: drop every occurrence and carry on with whatever followed it.
        retiredModules.push_back(module);
        std::size_t before = std::count(activeModules.begin(), activeModules.begin() + i, module);
        std::erase(activeModules, module);
        i -= before;
    }
}

void Kernel::Quit() {
    LOG_MESSAGE("Quit called");
    quitRequested = true;
}

void Kernel::KillAll() {
    LOG_MESSAGE("Killing all modules");
    // Each Stop is guarded on its own: a module that fails to stop is reported, and every other module
    // is still stopped exactly once, so a throwing Stop can never keep the loop from ending.
    for (Module* module : activeModules)
        Guarded([module] { module->Stop(); });
    activeModules.clear();
    for (Module* module : retiredModules)
        Guarded([module] { module->Stop(); });
    retiredModules.clear();
    running = false;
}

} // namespace engine::core

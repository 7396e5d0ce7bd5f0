#include "resources/resourceManager.h"

#include <engine/exception.h>

#include <exception>

namespace engine::core {

ResourceManager::~ResourceManager() {
    for (auto& [name, resource] : unmanaged)
        resource->OnLostDevice();
    for (auto& [name, resource] : unmanaged)
        resource->Unload();
    for (auto& [name, resource] : managed)
        resource->Unload();
    unmanaged.clear();
    managed.clear();
}

void ResourceManager::AddUnmanaged(const std::wstring& name, boost::shared_ptr<UnmanagedResource> resource) {
    unmanaged[name] = std::move(resource);
}

void ResourceManager::Register(const std::wstring& name, boost::shared_ptr<Resource> resource) {
    managed.emplace(name, std::move(resource));
}

void ResourceManager::OnLostDevice() {
    for (auto& [name, resource] : unmanaged)
        resource->OnLostDevice();
}

void ResourceManager::OnResetDevice() {
    std::exception_ptr firstFailure;
    for (auto& [name, resource] : unmanaged) {
        try {
            resource->OnResetDevice();
        } catch (const Exception&) {
            // The ERROR row is written; the rest of the resources still need their device objects.
            if (!firstFailure)
                firstFailure = std::current_exception();
        }
    }
    if (firstFailure)
        std::rethrow_exception(firstFailure);
}

} // namespace engine::core

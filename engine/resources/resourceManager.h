// Device-backed objects shared by name: the resource base classes and the manager that creates each
// name once, keeps it for the life of the process and tells the unmanaged ones about a lost device.
// Names are compared exactly (case and slashes included): two spellings of one path are two resources.
#pragma once

#include <engine/singleton.h>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include <map>
#include <string>
#include <type_traits>
#include <utility>

namespace engine::core {

class Resource {
public:
    explicit Resource(std::wstring name) : name(std::move(name)) {}
    // Releases nothing on the device: that is Unload's job, done by the manager's teardown.
    virtual ~Resource() = default;
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    // Creates the device object(s) from the name; failures write an ERROR row, which throws.
    virtual void Load() = 0;
    virtual void Unload() = 0;

    const std::wstring& GetName() const { return name; }

protected:
    std::wstring name;
};

// A resource whose device objects do not survive a device reset, or that must hear about it.
class UnmanagedResource : public Resource {
public:
    using Resource::Resource;
    // Called while the device is lost, before Reset.
    virtual void OnLostDevice() = 0;
    // Called after the device has been reset.
    virtual void OnResetDevice() = 0;
};

// The device object a resource wraps; null before loading and after a failed load or an unload.
template <typename T>
class ResourceRetriever {
public:
    T Retrieve() const { return resource; }
    // Live editing loads a changed file into a fresh resource and, once that has worked, exchanges the
    // device objects, so that everyone holding the registered resource draws the new one.
    void ExchangeWith(ResourceRetriever& other) { std::swap(resource, other.resource); }

protected:
    T resource = nullptr;
};

class ResourceManager : public pattern::Singleton<ResourceManager> {
public:
    // Tells every unmanaged resource the device is going, unloads everything, then drops the
    // manager's references; resources still held elsewhere survive, unloaded.
    ~ResourceManager() override;

    // The resource of that name, created, registered and loaded on the first request. A name that is
    // registered with another type gives an empty pointer and loads nothing. Registration comes first,
    // so a resource whose Load throws stays registered (without a device object) and is not retried.
    template <typename T>
    boost::shared_ptr<T> GetResource(const std::wstring& name);
    // The resource registered under that name, neither created nor loaded; empty when there is none or
    // it is of another type.
    template <typename T>
    boost::shared_ptr<T> Find(const std::wstring& name) const;
    // Resources registered, of both kinds.
    std::size_t Count() const { return managed.size() + unmanaged.size(); }

    // Stores the resource under the name, replacing any earlier one; the caller loads it.
    void AddUnmanaged(const std::wstring& name, boost::shared_ptr<UnmanagedResource> resource);
    // Stores a managed resource unless the name is taken already.
    void Register(const std::wstring& name, boost::shared_ptr<Resource> resource);

    // Visit every unmanaged resource in name order. A failing OnResetDevice does not stop the others
    // from being rebuilt; the first failure is raised again once all have been visited.
    void OnLostDevice();
    void OnResetDevice();

private:
    std::map<std::wstring, boost::shared_ptr<Resource>> managed;
    std::map<std::wstring, boost::shared_ptr<UnmanagedResource>> unmanaged;
};

template <typename T>
boost::shared_ptr<T> ResourceManager::GetResource(const std::wstring& name) {
    static_assert(std::is_base_of_v<Resource, T>, "only resources are managed");
    if (auto found = managed.find(name); found != managed.end() && found->second)
        return boost::dynamic_pointer_cast<T>(found->second);
    if (auto found = unmanaged.find(name); found != unmanaged.end() && found->second)
        return boost::dynamic_pointer_cast<T>(found->second);

    boost::shared_ptr<T> resource = boost::make_shared<T>(name);
    // File textures live in the managed map; every kind that must hear about device loss (render
    // targets, compiled effects, meshes) is unmanaged and lands in the other map.
    if constexpr (std::is_base_of_v<UnmanagedResource, T>)
        AddUnmanaged(name, resource);
    else
        Register(name, resource);
    resource->Load();
    return resource;
}

template <typename T>
boost::shared_ptr<T> ResourceManager::Find(const std::wstring& name) const {
    if (auto found = managed.find(name); found != managed.end())
        return boost::dynamic_pointer_cast<T>(found->second);
    if (auto found = unmanaged.find(name); found != unmanaged.end())
        return boost::dynamic_pointer_cast<T>(found->second);
    return {};
}

} // namespace engine::core

// The scene loader programs use: reads a .demo scene file into a scene-graph subtree with its meshes,
// lamps, camera and curves, keeps the objects by name (to hang emitters and modifiers on them) and
// reports the scene's length. The scene-graph types stay opaque here.
#pragma once

#include <engine/export.h>

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>

namespace engine::gfx {

class Spatial;

class ENGINE_API DemoLoader {
public:
    // A new loader with the file read; if reading fails the loader is freed and the exception passes on.
    static DemoLoader* CreateInstance(const std::wstring& path);
    // Deletes this loader. The scene graph lives on while others hold it.
    void DestroyInstance();

    explicit DemoLoader(const std::wstring& path);
    DemoLoader(const DemoLoader& other);
    DemoLoader& operator=(const DemoLoader& other);
    ~DemoLoader();

    // Replaces everything with the scene of the file at path. Failures write an ERROR row and throw;
    // the partly built scene is dropped.
    void Load(const std::wstring& path);

    boost::shared_ptr<Spatial> GetBaseNode();
    // The last camera of the file; empty when it has none.
    boost::shared_ptr<Spatial> GetCameraNode();
    // The object of that name (the last one when several share it); empty for an unknown name.
    boost::shared_ptr<Spatial> GetNode(std::string name);
    // In frames, 25 to the second.
    int GetLength() const;
    // The file the scene was last loaded from.
    const std::wstring& GetPath() const;

private:
    std::wstring path;
    boost::shared_ptr<Spatial> baseNode;
    // A second, identity root: the camera hangs under it too, and objects parented to the camera take it
    // as their transform parent so they stay fixed to the view.
    boost::shared_ptr<Spatial> cameraRoot;
    boost::shared_ptr<Spatial> cameraNode;
    std::map<std::string, boost::shared_ptr<Spatial>> nodes;
    int length = 0;
};

} // namespace engine::gfx

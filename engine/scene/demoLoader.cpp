#include "scene/demoLoader.h"

#include "anim/channelTable.h"
#include "anim/ipoReader.h"
#include "core/logging.h"
#include "core/textConversion.h"
#include "math/operators.h"
#include "math/transforms.h"
#include "resources/TVOMesh.h"
#include "scene/demoReader.h"
#include "scene/geometry.h"
#include "scene/light.h"

#include <boost/make_shared.hpp>

#include <algorithm>

namespace engine::gfx {

namespace {

// The scene files store radians; pipes and static poses work in tens of degrees.
constexpr float kRadiansToTenDegrees = 5.729578f;
constexpr float kTenDegreesToRadians = 31.415928f * 0.0055555557f;
// A rest-pose track holds its value over this span and stays there after it.
constexpr float kRestPoseEnd = 100.0f;
const char* const kCameraName = "Camera";

std::unique_ptr<AnimationPipe> RestPosePipe(const char* channelName, float value) {
    IpoCurve curve{channelName, Interpolation::Constant, Extrapolation::Constant, {}};
    for (float time : {0.0f, kRestPoseEnd})
        curve.keys.push_back({{time, value}, {time, value}, {time, value}});
    return CreatePipe(*FindChannel(channelName), CreateTrack(curve));
}

// Identity x Rx x Ry x Rz, each angle given in tens of degrees.
Transform StaticPose(const math::Vector3f& position, const math::Vector3f& rotation) {
    Transform pose;
    pose.translation = position;
    const float angles[3] = {rotation.x, rotation.y, rotation.z};
    const math::Vector3f axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; ++i)
        pose.rotation =
            pose.rotation * math::MatrixRotationAxis(axes[i], angles[i] * kTenDegreesToRadians).GetRotation();
    pose.scale = 1.0f;
    pose.isIdentity = false;
    return pose;
}

// Builds one scene from the file's records. Kept apart from the loader so a failure part-way leaves the
// loader as it was and drops everything built so far.
class SceneBuilder {
public:
    SceneBuilder(const std::wstring& path, std::string file) : path(path), file(std::move(file)) {}
    // Once the caches are filled (or the load has failed) the root only serves as an identity parent.
    // Letting go of its children keeps the references the nodes hold on it (see Make) free of cycles.
    ~SceneBuilder() {
        if (cameraRoot)
            cameraRoot->ClearChildren();
    }
    SceneBuilder(const SceneBuilder&) = delete;
    SceneBuilder& operator=(const SceneBuilder&) = delete;

    void Build(const DemoData& data) {
        cameraRoot = boost::make_shared<Node>(nullptr);
        baseNode = boost::make_shared<Node>(nullptr);
        defaultParent = baseNode;
        for (const DemoObject& object : data.objects)
            AddObject(object);
        LinkParents();
        cameraRoot->Update(nullptr);
    }

    boost::shared_ptr<Node> baseNode;
    boost::shared_ptr<Node> cameraRoot;
    boost::shared_ptr<Node> cameraNode;
    std::map<std::string, boost::shared_ptr<Node>> nodes;

private:
    // A parent link made once every object exists, so a child may come before its parent in the file.
    struct PendingLink {
        boost::shared_ptr<Node> child;
        std::string name;
        std::string parentName;
        boost::shared_ptr<Node> defaultParent;
    };

    void AddObject(const DemoObject& object) {
        const bool toCamera = object.parentName == kCameraName;
        math::Vector3f position = object.position;
        // The camera looks down the other z axis than the scene's objects do.
        if (toCamera)
            position.z = -position.z;
        const math::Vector3f rotation(object.rotation.x * kRadiansToTenDegrees,
                                      object.rotation.y * kRadiansToTenDegrees,
                                      object.rotation.z * kRadiansToTenDegrees);
        boost::shared_ptr<Node> node = MakeNode(object, position, rotation);
        if (object.parentName.empty())
            defaultParent->AddChild(node);
        else
            pending.push_back({node, object.name, object.parentName, defaultParent});
        if (object.type == kCameraName) {
            cameraNode = node;
            node->SetParent(cameraRoot.get());
            cameraRoot->AddChild(node);
            // Objects read later hang under the camera, so they are seen through it.
            defaultParent = node;
        }
        nodes[object.name] = node;
        names[node.get()] = object.name;
        if (object.type == "Mesh") {
            const std::wstring meshPath = path + L"_scene/" + core::NarrowToWide(object.meshName) + L".tvo";
            auto mesh = core::ResourceManager::Get()->GetResource<TVOMesh>(meshPath);
            node->AddChild(boost::make_shared<Geometry>(mesh, node.get()));
        } else if (object.type == "Lamp") {
            node->AddChild(boost::make_shared<Light>(node.get()));
        }
    }

    boost::shared_ptr<Node> MakeNode(const DemoObject& object, const math::Vector3f& position,
                                     const math::Vector3f& rotation) {
        Node* parent = defaultParent.get();
        if (object.type != kCameraName && object.curves.empty()) {
            auto node = Make<Node>(parent);
            node->SetLocalTransform(StaticPose(position, rotation));
            return node;
        }
        auto controller = boost::make_shared<AnimationController>();
        controller->AddPipe(RestPosePipe("LocX", position.x));
        controller->AddPipe(RestPosePipe("LocY", position.y));
        controller->AddPipe(RestPosePipe("LocZ", position.z));
        controller->AddPipe(RestPosePipe("RotX", rotation.x));
        controller->AddPipe(RestPosePipe("RotY", rotation.y));
        controller->AddPipe(RestPosePipe("RotZ", rotation.z));
        for (const DemoCurve& curve : object.curves)
            controller->AddPipe(CreatePipe(*curve.channel, CreateTrack(Mirrored(curve, object))));
        if (object.type == kCameraName) {
            auto camera = Make<AnimationCamera>(parent);
            camera->SetController(controller);
            return camera;
        }
        auto node = Make<AnimationNode>(parent);
        node->SetController(controller);
        return node;
    }

    // The scene outlives the loader, and the camera and the objects fixed to the view point at the
    // identity root without owning it: every node keeps the root alive so those links never dangle.
    template <typename T>
    boost::shared_ptr<T> Make(Node* parent) const {
        return boost::shared_ptr<T>(new T(parent), [root = cameraRoot](T* node) { delete node; });
    }

    // A z-location curve of an object parented to the camera is turned over like its rest position.
    static IpoCurve Mirrored(const DemoCurve& curve, const DemoObject& object) {
        IpoCurve track = curve.track;
        if (object.parentName != kCameraName || track.name != "LocZ")
            return track;
        for (IpoKey& key : track.keys)
            for (KeyPoint* point : {&key.left, &key.key, &key.right})
                point->value = -point->value;
        return track;
    }

    void LinkParents() {
        for (const PendingLink& link : pending) {
            const bool toCamera = link.parentName == kCameraName;
            const auto found = nodes.find(link.parentName);
            if (found == nodes.end()) {
                LOG_WARNING(file + ": the parent \"" + link.parentName + "\" of object \"" + link.name +
                            "\" names no object; it stays under its default parent");
                Attach(link.child, *link.defaultParent);
                continue;
            }
            // Objects parented to the camera are walked through it but keep the identity root's world
            // matrix, so they stay fixed to the view.
            link.child->SetParent(toCamera ? cameraRoot.get() : found->second.get());
            Attach(link.child, *found->second);
        }
    }

    // A child that already holds the parent somewhere below it would make the per-frame walk recurse
    // forever, and the shared links would never be freed.
    void Attach(const boost::shared_ptr<Node>& child, Node& parent) {
        std::vector<const Spatial*> chain;
        if (Reaches(*child, &parent, chain)) {
            std::string names = NameOf(&parent);
            for (const Spatial* step : chain)
                names += " > " + NameOf(step);
            LOG_ERROR(file + ": the parent links form a cycle (" + names + ", each the parent of the next)");
        }
        parent.AddChild(child);
    }

    // True when target is `from` or lies below it; chain then holds the way down, from first to target.
    static bool Reaches(const Spatial& from, const Spatial* target, std::vector<const Spatial*>& chain) {
        chain.push_back(&from);
        if (&from == target)
            return true;
        if (const auto* node = dynamic_cast<const Node*>(&from))
            for (const boost::shared_ptr<Spatial>& child : node->GetChildren())
                if (Reaches(*child, target, chain))
                    return true;
        chain.pop_back();
        return false;
    }

    std::string NameOf(const Spatial* node) const {
        const auto found = names.find(node);
        return found != names.end() ? "\"" + found->second + "\"" : "(unnamed)";
    }

    std::wstring path;
    std::string file;
    boost::shared_ptr<Node> defaultParent;
    std::vector<PendingLink> pending;
    std::map<const Spatial*, std::string> names;
};

// Every loader alive. Never freed: a loader held by a static object may outlive any static list.
std::vector<DemoLoader*>& Loaders() {
    static auto* loaders = new std::vector<DemoLoader*>;
    return *loaders;
}

} // namespace

std::vector<DemoLoader*> LoadersOf(const std::wstring& path) {
    std::vector<DemoLoader*> found;
    for (DemoLoader* loader : Loaders())
        if (loader->GetPath() == path)
            found.push_back(loader);
    return found;
}

DemoLoader* DemoLoader::CreateInstance(const std::wstring& path) {
    // When Load throws out of the constructor, the new-expression itself releases the memory.
    return new DemoLoader(path);
}

void DemoLoader::DestroyInstance() {
    delete this;
}

// Listed only once loaded: a constructor that throws leaves no object to unlist.
DemoLoader::DemoLoader(const std::wstring& path) {
    Load(path);
    Loaders().push_back(this);
}

DemoLoader::DemoLoader(const DemoLoader& other)
    : path(other.path), baseNode(other.baseNode), cameraRoot(other.cameraRoot), cameraNode(other.cameraNode),
      nodes(other.nodes), length(other.length) {
    Loaders().push_back(this);
}

DemoLoader& DemoLoader::operator=(const DemoLoader& other) = default;

DemoLoader::~DemoLoader() {
    std::erase(Loaders(), this);
}

void DemoLoader::Load(const std::wstring& path) {
    const DemoData data = ReadDemoFile(path);
    SceneBuilder builder(path, core::WideToNarrow(path));
    builder.Build(data);
    baseNode = builder.baseNode;
    cameraRoot = builder.cameraRoot;
    cameraNode = builder.cameraNode;
    nodes.clear();
    for (const auto& [name, node] : builder.nodes)
        nodes[name] = node;
    length = data.length;
    this->path = path;
}

boost::shared_ptr<Spatial> DemoLoader::GetBaseNode() {
    return baseNode;
}

boost::shared_ptr<Spatial> DemoLoader::GetCameraNode() {
    return cameraNode;
}

boost::shared_ptr<Spatial> DemoLoader::GetNode(std::string name) {
    return nodes[name];
}

int DemoLoader::GetLength() const {
    return length;
}

const std::wstring& DemoLoader::GetPath() const {
    return path;
}

} // namespace engine::gfx

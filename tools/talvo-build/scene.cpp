#include "scene.h"

#include "contentFile.h"
#include "curves.h"
#include "formats/demoWriter.h"
#include "generators.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <numbers>
#include <set>

namespace quorvel::build {

namespace fs = std::filesystem;

namespace {

// Descriptions write every angle in radians; rotation curves are stored in tens of degrees.
constexpr double kRadiansToTenDegrees = 18.0 / std::numbers::pi;

// The channels in the order of their pipes, which is the order their curves are written in.
const char* const kChannels[] = {"Time",  "LocX", "LocY",  "LocZ", "ScaleX", "ScaleY", "ScaleZ",
                                 "dRotX", "RotX", "dRotY", "RotY", "dRotZ",  "RotZ"};

const std::map<std::string, std::int32_t> kBuiltinEffects = {
    {"ambient", 1}, {"wireframe", 2}, {"diffuse", 3}};

const char kCameraName[] = "Camera";

// A description run in its own sandbox with the generators, its result on top of the stack.
class Description {
public:
    Description(const fs::path& file, ContentContext& context) : file(file.string()) {
        RegisterGenerators(sandbox.State(), assets, context.root);
        sandbox.AllowLibraries(context.root / "lib");
        sandbox.Run(file);
        const std::vector<fs::path> libraries = sandbox.LibrariesUsed();
        context.reads.insert(context.reads.end(), libraries.begin(), libraries.end());
        context.reads.insert(context.reads.end(), assets.filesRead.begin(), assets.filesRead.end());
    }
    LuaValue Result() const { return LuaValue(sandbox.State(), file, ""); }

    std::string file;
    Sandbox sandbox;
    GeneratedAssets assets;
};

// Mesh, texture and scene names become file names.
void RequireFileName(const LuaValue& where, const std::string& name) {
    const bool plain =
        !name.empty() && name.front() != '.' && std::all_of(name.begin(), name.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                   c == '-' || c == '.';
        });
    if (!plain)
        where.Fail("has the name \"" + name +
                   "\"; names of files may hold letters, digits, '_', '-' and '.' only");
}

std::vector<std::uint8_t> ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.good() && !in.eof())
        throw BuildError(file.string() + ": cannot be read");
    return bytes;
}

std::string Folder(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

// Writes every picture of the table as <folder>/<name>.png; returns name -> the path the engine uses.
std::map<std::string, std::string> CompileTextures(const LuaValue& textures, const Description& description,
                                                   const std::string& folder, ContentContext& context) {
    std::map<std::string, std::string> paths;
    if (textures.IsNil())
        return paths;
    for (const std::string& name : textures.Keys()) {
        const LuaValue texture = textures.Field(name);
        RequireFileName(texture, name);
        const std::string path = Folder(folder, name + ".png");
        try {
            context.outputs.Add(path, content::EncodePng(ImageOf(texture, description.assets)),
                                description.file);
        } catch (const std::invalid_argument& fault) {
            texture.Fail(fault.what());
        }
        paths[name] = "data/" + path;
    }
    return paths;
}

std::set<int> StreamsOf(const content::MeshData& mesh) {
    std::set<int> streams{0};
    if (!mesh.normals.empty())
        streams.insert(1);
    if (!mesh.texCoords.empty())
        streams.insert(2);
    return streams;
}

// Writes every mesh of the table as <folder>/<name>.tvo, with its material script next to it or the
// key of a built-in effect inside. Returns the mesh names.
std::set<std::string> CompileMeshes(const LuaValue& meshes, const Description& description,
                                    const std::string& folder,
                                    const std::map<std::string, std::string>& textures,
                                    ContentContext& context) {
    std::set<std::string> names;
    if (meshes.IsNil())
        return names;
    for (const std::string& name : meshes.Keys()) {
        const LuaValue mesh = meshes.Field(name);
        RequireFileName(mesh, name);
        const content::MeshData& shape = MeshOf(mesh.Field("shape"), description.assets);
        const auto material = mesh.OptionalString("material");
        const auto builtin = mesh.OptionalString("builtin");
        if (material.has_value() == builtin.has_value())
            mesh.Fail("needs either a material (a material script) or a builtin effect (\"ambient\", "
                      "\"wireframe\" or \"diffuse\")");
        std::int32_t key = 0;
        if (builtin) {
            const auto found = kBuiltinEffects.find(*builtin);
            if (found == kBuiltinEffects.end())
                mesh.Field("builtin").Fail("must be \"ambient\", \"wireframe\" or \"diffuse\"");
            key = found->second;
        }

        std::vector<std::string> textureNames;
        const LuaValue list = mesh.Field("textures");
        const int textureCount = list.IsNil() ? 0 : list.Length();
        for (int i = 1; i <= textureCount; ++i) {
            const LuaValue entry = list.Element(i);
            const std::string texture = entry.String();
            const auto local = textures.find(texture);
            if (local != textures.end()) {
                textureNames.push_back(local->second);
            } else if (texture.starts_with("data/")) {
                textureNames.push_back(texture);
                context.named.emplace(texture, description.file);
            } else {
                entry.Fail("names \"" + texture +
                           "\", which is neither a texture of this file nor a path in data/");
            }
        }

        const std::string path = Folder(folder, name + ".tvo");
        try {
            context.outputs.Add(path, content::EncodeTvo(shape, key, textureNames), description.file);
        } catch (const std::invalid_argument& fault) {
            mesh.Fail(fault.what());
        }
        if (material) {
            const auto script = ContentPath(context.root, *material);
            if (!script || !fs::is_regular_file(*script))
                mesh.Field("material")
                    .Fail("names \"" + *material + "\", which is not a file of the content folder");
            CheckContentFile(context.root, *script);
            context.materials.CheckMaterialScript(*script, StreamsOf(shape));
            context.outputs.AddCopy(path + ".efx", *script);
        }
        names.insert(name);
    }
    return names;
}

formats::DemoObjectRecord ReadObject(const LuaValue& object, const std::string& type,
                                     const std::set<std::string>& meshes) {
    formats::DemoObjectRecord record;
    record.type = type;
    record.name = object.OptionalString("name").value_or(type == kCameraName ? kCameraName : "");
    if (record.name.empty())
        object.Fail("needs a name");
    // The loader fixes objects parented to "Camera" to the view, finding the camera by that name.
    if (type == kCameraName && record.name != kCameraName)
        object.Field("name").Fail("must be \"Camera\", the name the scene loader gives the camera");
    if (type == "Mesh") {
        record.meshName = object.Field("mesh").String();
        if (meshes.count(record.meshName) == 0)
            object.Field("mesh").Fail("names \"" + record.meshName + "\", which is not in meshes");
    } else if (!object.Field("mesh").IsNil()) {
        object.Field("mesh").Fail("is only for objects of type \"Mesh\"");
    }
    record.parentName = object.OptionalString("parent").value_or("");
    if (!object.Field("position").IsNil())
        record.position = object.Field("position").Vector3();
    if (!object.Field("rotation").IsNil())
        record.rotation = object.Field("rotation").Vector3();

    const LuaValue curves = object.Field("curves");
    if (curves.IsNil())
        return record;
    const std::vector<std::string> given = curves.Keys();
    for (const std::string& channel : given)
        if (std::find(std::begin(kChannels), std::end(kChannels), channel) == std::end(kChannels))
            curves.Field(channel).Fail("is not a channel; channels are Time, LocX-LocZ, ScaleX-ScaleZ, "
                                       "RotX-RotZ and dRotX-dRotZ");
    for (const char* channel : kChannels) {
        if (std::find(given.begin(), given.end(), channel) == given.end())
            continue;
        const bool rotation = std::string(channel).find("Rot") != std::string::npos;
        record.curves.push_back(
            ToDemoRecord(channel, ReadCurve(curves.Field(channel)), rotation ? kRadiansToTenDegrees : 1.0));
    }
    return record;
}

} // namespace

void Outputs::Add(const std::string& path, std::vector<std::uint8_t> bytes, const std::string& source) {
    const auto [entry, added] = sources.emplace(path, source);
    if (!added)
        throw BuildError(source + ": makes data/" + path + ", which " + entry->second + " makes already");
    files.emplace(path, std::move(bytes));
    order.push_back(path);
}

void Outputs::AddCopy(const std::string& path, const fs::path& file) {
    Add(path, ReadFile(file), file.string());
    copies.insert(path);
}

void CompileScene(const fs::path& file, ContentContext& context) {
    const Description description(file, context);
    const LuaValue scene = description.Result();
    if (!scene.IsTable())
        scene.Fail("must be the scene's table");
    const std::string name = file.stem().string();
    RequireFileName(scene, name);
    const std::string folder = name + ".demo_scene";

    const int length = scene.Field("length").Integer(1, 1 << 30);
    const auto textures = CompileTextures(scene.Field("textures"), description, folder, context);
    const auto meshes = CompileMeshes(scene.Field("meshes"), description, folder, textures, context);

    // The camera first: objects after it hang under it and are seen through it.
    std::vector<formats::DemoObjectRecord> objects;
    if (!scene.Field("camera").IsNil())
        objects.push_back(ReadObject(scene.Field("camera"), kCameraName, meshes));
    for (const char* list : {"lamps", "objects"}) {
        const LuaValue entries = scene.Field(list);
        const int count = entries.IsNil() ? 0 : entries.Length();
        for (int i = 1; i <= count; ++i) {
            const LuaValue object = entries.Element(i);
            object.RequireTable();
            const std::string type = list == std::string("lamps") ? "Lamp" : object.Field("type").String();
            if (type != "Mesh" && type != "Lamp" && type != "Empty")
                object.Field("type").Fail(
                    "must be \"Mesh\", \"Lamp\" or \"Empty\" (the camera is scene.camera)");
            objects.push_back(ReadObject(object, type, meshes));
        }
    }

    std::set<std::string> names;
    for (const auto& object : objects)
        if (!names.insert(object.name).second)
            throw BuildError(description.file + ": two objects are named \"" + object.name + "\"");
    for (const auto& object : objects)
        if (!object.parentName.empty() && names.count(object.parentName) == 0)
            throw BuildError(description.file + ": the parent \"" + object.parentName + "\" of \"" +
                             object.name + "\" is no object of the scene");

    context.outputs.Add(name + ".demo", formats::DemoWriter::Scene(length, objects).Data(), description.file);
}

void CompileMeshFile(const fs::path& file, ContentContext& context) {
    const Description description(file, context);
    const LuaValue meshes = description.Result();
    if (!meshes.IsTable())
        meshes.Fail("must be a table of named meshes");
    CompileMeshes(meshes, description, "", {}, context);
}

void CompileTextureFile(const fs::path& file, ContentContext& context) {
    const Description description(file, context);
    const LuaValue textures = description.Result();
    if (!textures.IsTable())
        textures.Fail("must be a table of named textures");
    CompileTextures(textures, description, "", context);
}

} // namespace quorvel::build

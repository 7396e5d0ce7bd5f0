#include "generators.h"

#include "content/textMesh.h"
#include "contentFile.h"
#include "luaValue.h"

#include <lua.hpp>

#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <utility>

namespace quorvel::build {

namespace {

const char kMeshType[] = "talvo.mesh";
const char kImageType[] = "talvo.image";

struct Handle {
    int index;
};

GeneratedAssets& AssetsOf(lua_State* state) {
    return *static_cast<GeneratedAssets*>(lua_touserdata(state, lua_upvalueindex(1)));
}

const std::filesystem::path& ContentRootOf(lua_State* state) {
    return *static_cast<const std::filesystem::path*>(lua_touserdata(state, lua_upvalueindex(2)));
}

// Reads one argument table of a generator call with raw access only, so no metamethod of the
// description's runs here; faults are exceptions that the binding turns into a Lua error.
class Arguments {
public:
    Arguments(lua_State* state, const char* function) : state(state), function(function) {
        if (!lua_istable(state, 1))
            Fail("takes a table of named arguments, as in " + std::string(function) + "{ ... }");
    }

    [[noreturn]] void Fail(const std::string& what) const {
        throw std::invalid_argument(std::string(function) + ": " + what);
    }

    double Number(const char* name, std::optional<double> fallback = std::nullopt) const {
        Push(name);
        const int type = lua_type(state, -1);
        const double value = lua_tonumber(state, -1);
        lua_pop(state, 1);
        if (type == LUA_TNIL && fallback)
            return *fallback;
        if (type != LUA_TNUMBER)
            Fail(std::string(name) + " must be a number");
        return value;
    }

    int Integer(const char* name, std::optional<int> fallback = std::nullopt) const {
        const double value = Number(name, fallback);
        if (!IsWholeNumberWithin(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()))
            Fail(std::string(name) + " must be a whole number from " +
                 std::to_string(std::numeric_limits<int>::min()) + " to " +
                 std::to_string(std::numeric_limits<int>::max()));
        return static_cast<int>(value);
    }

    bool Boolean(const char* name, bool fallback) const {
        Push(name);
        const int type = lua_type(state, -1);
        const bool value = lua_toboolean(state, -1) != 0;
        lua_pop(state, 1);
        if (type == LUA_TNIL)
            return fallback;
        if (type != LUA_TBOOLEAN)
            Fail(std::string(name) + " must be true or false");
        return value;
    }

    // A table of n numbers; with `single`, one number stands for all n.
    std::vector<float> Numbers(const char* name, int n, bool single = false) const {
        Push(name);
        std::vector<float> numbers;
        if (single && lua_type(state, -1) == LUA_TNUMBER) {
            numbers.assign(n, static_cast<float>(lua_tonumber(state, -1)));
        } else if (lua_istable(state, -1)) {
            for (int i = 1;; ++i) {
                lua_rawgeti(state, -1, i);
                const int type = lua_type(state, -1);
                numbers.push_back(static_cast<float>(lua_tonumber(state, -1)));
                lua_pop(state, 1);
                if (type != LUA_TNUMBER) {
                    numbers.pop_back();
                    if (type != LUA_TNIL)
                        numbers.clear();
                    break;
                }
            }
        }
        lua_pop(state, 1);
        if (static_cast<int>(numbers.size()) != n)
            Fail(std::string(name) + " must be " + (single ? "a number or " : "") + "a table of " +
                 std::to_string(n) + " numbers");
        return numbers;
    }

    // {r, g, b} or {r, g, b, a}, each 0 to 1; alpha defaults to 1.
    content::Colour Colour(const char* name) const {
        Push(name);
        std::vector<float> numbers;
        bool numeric = lua_istable(state, -1);
        for (int i = 1; numeric; ++i) {
            lua_rawgeti(state, -1, i);
            if (lua_isnil(state, -1)) {
                lua_pop(state, 1);
                break;
            }
            numeric = lua_type(state, -1) == LUA_TNUMBER;
            numbers.push_back(static_cast<float>(lua_tonumber(state, -1)));
            lua_pop(state, 1);
        }
        lua_pop(state, 1);
        if (!numeric || numbers.size() < 3 || numbers.size() > 4)
            Fail(std::string(name) + " must be a colour {r, g, b} or {r, g, b, a}");
        for (float channel : numbers)
            if (channel < 0 || channel > 1)
                Fail(std::string(name) + " must hold values from 0 to 1");
        return {numbers[0], numbers[1], numbers[2], numbers.size() == 4 ? numbers[3] : 1.0f};
    }

    std::string String(const char* name, std::optional<std::string> fallback = std::nullopt) const {
        Push(name);
        const int type = lua_type(state, -1);
        std::size_t length = 0;
        const char* text = type == LUA_TSTRING ? lua_tolstring(state, -1, &length) : nullptr;
        std::string value = text ? std::string(text, length) : std::string();
        lua_pop(state, 1);
        if (type == LUA_TNIL && fallback)
            return *fallback;
        if (type != LUA_TSTRING)
            Fail(std::string(name) + " must be a string");
        return value;
    }

private:
    void Push(const char* name) const {
        lua_pushstring(state, name);
        lua_rawget(state, 1);
    }

    lua_State* state;
    const char* function;
};

void PushHandle(lua_State* state, const char* type, int index) {
    static_cast<Handle*>(lua_newuserdata(state, sizeof(Handle)))->index = index;
    luaL_getmetatable(state, type);
    lua_setmetatable(state, -2);
}

void Count(GeneratedAssets& assets, std::size_t bytes) {
    assets.bytes += bytes;
    if (assets.bytes > kGeneratedBytesLimit)
        throw std::invalid_argument("the generators of one description may make at most " +
                                    std::to_string(kGeneratedBytesLimit >> 20) + " MiB");
}

void PushMesh(lua_State* state, content::MeshData mesh) {
    GeneratedAssets& assets = AssetsOf(state);
    Count(assets, mesh.positions.size() * 32 + mesh.indices.size() * 4);
    assets.meshes.push_back(std::move(mesh));
    PushHandle(state, kMeshType, static_cast<int>(assets.meshes.size()) - 1);
}

void PushImage(lua_State* state, content::Image image) {
    GeneratedAssets& assets = AssetsOf(state);
    Count(assets, image.rgba.size());
    assets.images.push_back(std::move(image));
    PushHandle(state, kImageType, static_cast<int>(assets.images.size()) - 1);
}

using Body = void (*)(lua_State*);

// Runs a generator's body. Its C++ objects are gone before a failure becomes a Lua error, whose jump
// must not cross them; the message starts with the description's file and line of the call. The
// memory limit is lifted meanwhile: what the body pushes is small, and a refusal would jump too.
template <Body body>
int Binding(lua_State* state) {
    void* userData = nullptr;
    lua_getallocf(state, &userData);
    auto& budget = *static_cast<Sandbox::Budget*>(userData);
    const bool enforced = std::exchange(budget.enforced, false);
    bool failed = false;
    try {
        body(state);
    } catch (const std::exception& fault) {
        luaL_where(state, 1);
        lua_pushstring(state, fault.what());
        lua_concat(state, 2);
        failed = true;
    }
    budget.enforced = enforced;
    if (failed)
        return lua_error(state);
    return 1;
}

void BoxBody(lua_State* state) {
    const Arguments args(state, "box");
    const std::vector<float> size = args.Numbers("size", 3, true);
    PushMesh(state, content::Box({size[0], size[1], size[2]}));
}

void GridBody(lua_State* state) {
    const Arguments args(state, "grid");
    PushMesh(state,
             content::Grid(static_cast<float>(args.Number("width")), static_cast<float>(args.Number("depth")),
                           args.Integer("segmentsX", 1), args.Integer("segmentsZ", 1)));
}

void CylinderBody(lua_State* state) {
    const Arguments args(state, "cylinder");
    PushMesh(state, content::Cylinder(static_cast<float>(args.Number("radius")),
                                      static_cast<float>(args.Number("height")), args.Integer("segments", 16),
                                      args.Boolean("caps", true)));
}

void SphereBody(lua_State* state) {
    const Arguments args(state, "sphere");
    PushMesh(state, content::Sphere(static_cast<float>(args.Number("radius")), args.Integer("segments", 16),
                                    args.Integer("rings", 8)));
}

void LeafBody(lua_State* state) {
    const Arguments args(state, "leaf");
    PushMesh(state, content::Leaf(static_cast<float>(args.Number("length")),
                                  static_cast<float>(args.Number("width")), args.Integer("segments", 8)));
}

void GrassBladeBody(lua_State* state) {
    const Arguments args(state, "grassBlade");
    PushMesh(state, content::GrassBlade(static_cast<float>(args.Number("height")),
                                        static_cast<float>(args.Number("width")), args.Integer("segments", 6),
                                        static_cast<float>(args.Number("bend", 0.0))));
}

void ScreenQuadBody(lua_State* state) {
    PushMesh(state, content::ScreenQuad());
}

void ObjBody(lua_State* state) {
    if (lua_type(state, 1) != LUA_TSTRING)
        throw std::invalid_argument(
            "obj: takes the file's path inside the content folder, as in obj \"x.obj\"");
    const std::string relative = lua_tostring(state, 1);
    const auto file = ContentPath(ContentRootOf(state), relative);
    if (!file)
        throw std::invalid_argument("obj: \"" + relative + "\" is not a path inside the content folder");
    AssetsOf(state).filesRead.push_back(*file);
    CheckContentFile(ContentRootOf(state), *file);
    content::MeshData mesh;
    content::ImportError error;
    if (!content::ImportObj(*file, mesh, error))
        throw std::invalid_argument("obj: " + error.file +
                                    (error.line > 0 ? ":" + std::to_string(error.line) : "") + ": " +
                                    error.reason);
    PushMesh(state, std::move(mesh));
}

// Reads a file inside the content folder that a generator names, as the build's dependency.
std::vector<std::uint8_t> ReadContentFile(lua_State* state, const char* function, const std::string& relative,
                                          std::size_t limit, std::filesystem::path& file) {
    const auto path = ContentPath(ContentRootOf(state), relative);
    if (!path)
        throw std::invalid_argument(std::string(function) + ": \"" + relative +
                                    "\" is not a path inside the content folder");
    file = *path;
    AssetsOf(state).filesRead.push_back(file);
    CheckContentFile(ContentRootOf(state), file);
    std::ifstream in(file, std::ios::binary);
    std::error_code folder;
    if (!in || std::filesystem::is_directory(file, folder))
        throw std::invalid_argument(std::string(function) + ": " + file.string() + ": cannot open the file");
    const std::uintmax_t size = std::filesystem::file_size(file, folder);
    if (size > limit)
        throw std::invalid_argument(std::string(function) + ": " + file.string() +
                                    ": the file is bigger than " + std::to_string(limit >> 20) + " MiB");
    // One read of the known size: a stream iterator takes a font's megabyte a byte at a time.
    std::vector<std::uint8_t> bytes(size);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)) ||
        in.peek() != std::ifstream::traits_type::eof())
        throw std::invalid_argument(std::string(function) + ": " + file.string() +
                                    ": cannot read the file, or it changed while it was read");
    return bytes;
}

void TextBody(lua_State* state) {
    const Arguments args(state, "text");
    std::filesystem::path file;
    const std::string fontName = args.String("font");
    content::TextLayout layout;
    layout.size = static_cast<float>(args.Number("size", 1.0));
    layout.depth = static_cast<float>(args.Number("depth", 0.2 * layout.size));
    layout.bevel = static_cast<float>(args.Number("bevel", 0.0));
    layout.kerning = args.Boolean("kerning", true);
    layout.lineSpacing = static_cast<float>(args.Number("lineSpacing", 1.0));
    const std::string align = args.String("align", "left");
    if (align == "left")
        layout.align = content::TextAlign::Left;
    else if (align == "centre" || align == "center")
        layout.align = content::TextAlign::Centre;
    else if (align == "right")
        layout.align = content::TextAlign::Right;
    else
        args.Fail("align must be \"left\", \"centre\" or \"right\", not \"" + align + "\"");
    const std::string string = args.String("string");
    std::vector<std::uint8_t> bytes =
        ReadContentFile(state, "text", fontName, content::kFontBytesLimit, file);
    std::optional<content::FontFile> font;
    try {
        font.emplace(std::move(bytes));
    } catch (const std::invalid_argument& fault) {
        throw std::invalid_argument("text: " + file.string() + ": " + fault.what());
    }
    try {
        PushMesh(state, content::TextMesh(*font, string, layout));
    } catch (const std::invalid_argument& fault) {
        // A broken glyph is the font's fault, the rest the call's; both name the font.
        throw std::invalid_argument("text: " + file.string() + ": " + fault.what());
    }
}

// A picture made elsewhere (by an exporter or a paint program), read from a file inside the content folder.
void ImageBody(lua_State* state) {
    if (lua_type(state, 1) != LUA_TSTRING)
        throw std::invalid_argument(
            "image: takes the file's path inside the content folder, as in image \"x.png\"");
    std::filesystem::path file;
    const std::vector<std::uint8_t> bytes =
        ReadContentFile(state, "image", lua_tostring(state, 1), kMaxContentFileBytes, file);
    try {
        PushImage(state, content::DecodeImage(bytes));
    } catch (const std::invalid_argument& fault) {
        throw std::invalid_argument("image: " + file.string() + ": " + fault.what());
    }
}

void GradientBody(lua_State* state) {
    const Arguments args(state, "gradient");
    PushImage(state, content::Gradient(args.Integer("width"), args.Integer("height"), args.Colour("from"),
                                       args.Colour("to"), args.Boolean("horizontal", false)));
}

void NoiseBody(lua_State* state) {
    const Arguments args(state, "noise");
    const double seed = args.Number("seed", 1.0);
    if (!IsWholeNumberWithin(seed, 0, 4294967295.0))
        args.Fail("seed must be a whole number from 0 to 4294967295");
    PushImage(state, content::Noise(args.Integer("width"), args.Integer("height"), args.Colour("dark"),
                                    args.Colour("light"), args.Integer("octaves", 4),
                                    static_cast<std::uint32_t>(seed)));
}

void CheckerBody(lua_State* state) {
    const Arguments args(state, "checker");
    PushImage(state, content::Checker(args.Integer("width"), args.Integer("height"), args.Integer("cells"),
                                      args.Colour("a"), args.Colour("b")));
}

void GlowSpriteBody(lua_State* state) {
    const Arguments args(state, "glowSprite");
    PushImage(state, content::GlowSprite(args.Integer("size"), args.Colour("centre"),
                                         static_cast<float>(args.Number("falloff", 2.0))));
}

struct Generator {
    const char* name;
    lua_CFunction function;
};

const Generator kGenerators[] = {
    {"box", Binding<BoxBody>},
    {"grid", Binding<GridBody>},
    {"cylinder", Binding<CylinderBody>},
    {"sphere", Binding<SphereBody>},
    {"leaf", Binding<LeafBody>},
    {"grassBlade", Binding<GrassBladeBody>},
    {"screenQuad", Binding<ScreenQuadBody>},
    {"obj", Binding<ObjBody>},
    {"text", Binding<TextBody>},
    {"image", Binding<ImageBody>},
    {"gradient", Binding<GradientBody>},
    {"noise", Binding<NoiseBody>},
    {"checker", Binding<CheckerBody>},
    {"glowSprite", Binding<GlowSpriteBody>},
};

int HandleIndex(const LuaValue& value, const char* type, const char* what) {
    lua_State* state = value.State();
    bool matches = false;
    if (lua_type(state, value.Index()) == LUA_TUSERDATA && lua_getmetatable(state, value.Index())) {
        luaL_getmetatable(state, type);
        matches = lua_rawequal(state, -1, -2) != 0;
        lua_pop(state, 2);
    }
    if (!matches)
        value.Fail(std::string("must be ") + what);
    return static_cast<const Handle*>(lua_touserdata(state, value.Index()))->index;
}

} // namespace

void RegisterGenerators(lua_State* state, GeneratedAssets& assets, const std::filesystem::path& contentRoot) {
    luaL_newmetatable(state, kMeshType);
    lua_pop(state, 1);
    luaL_newmetatable(state, kImageType);
    lua_pop(state, 1);
    for (const Generator& generator : kGenerators) {
        lua_pushlightuserdata(state, &assets);
        lua_pushlightuserdata(state, const_cast<std::filesystem::path*>(&contentRoot));
        lua_pushcclosure(state, generator.function, 2);
        lua_setglobal(state, generator.name);
    }
}

const content::MeshData& MeshOf(const LuaValue& value, const GeneratedAssets& assets) {
    return assets.meshes.at(HandleIndex(value, kMeshType, "a mesh from a generator or obj()"));
}

const content::Image& ImageOf(const LuaValue& value, const GeneratedAssets& assets) {
    return assets.images.at(HandleIndex(value, kImageType, "a picture from a texture generator"));
}

std::optional<std::filesystem::path> ContentPath(const std::filesystem::path& contentRoot,
                                                 const std::string& relative) {
    const std::filesystem::path path(relative);
    if (relative.empty() || path.is_absolute())
        return std::nullopt;
    for (const auto& part : path.lexically_normal())
        if (part == "..")
            return std::nullopt;
    return contentRoot / path.lexically_normal();
}

} // namespace quorvel::build

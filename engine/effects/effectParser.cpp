#include "effects/effectParser.h"

#include "effects/effectLexer.h"
#include "effects/glslSections.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>
#include <utility>

namespace engine::gfx {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

std::optional<ParameterType> TypeFromName(const std::string& name) {
    static const std::pair<const char*, ParameterType> kTypes[] = {
        {"float", ParameterType::Float},       {"int", ParameterType::Int},
        {"bool", ParameterType::Bool},         {"float2", ParameterType::Float2},
        {"float3", ParameterType::Float3},     {"float4", ParameterType::Float4},
        {"float4x4", ParameterType::Float4x4}, {"texture", ParameterType::Texture}};
    for (const auto& [text, type] : kTypes)
        if (name == text)
            return type;
    return std::nullopt;
}

// Words a uniform cannot be named: GLSL 3.30's keywords and the names the code relies on. A parameter
// of such a name would break the generated declarations, far from the line that caused it.
bool IsGlslWord(const std::string& name) {
    static const std::set<std::string> kWords = {
        "attribute",   "const",         "uniform", "varying",   "layout",    "centroid",  "flat",
        "smooth",      "noperspective", "break",   "continue",  "do",        "for",       "while",
        "switch",      "case",          "default", "if",        "else",      "in",        "out",
        "inout",       "float",         "int",     "void",      "bool",      "true",      "false",
        "invariant",   "discard",       "return",  "mat2",      "mat3",      "mat4",      "mat2x2",
        "mat2x3",      "mat2x4",        "mat3x2",  "mat3x3",    "mat3x4",    "mat4x2",    "mat4x3",
        "mat4x4",      "vec2",          "vec3",    "vec4",      "ivec2",     "ivec3",     "ivec4",
        "bvec2",       "bvec3",         "bvec4",   "uint",      "uvec2",     "uvec3",     "uvec4",
        "lowp",        "mediump",       "highp",   "precision", "sampler1D", "sampler2D", "sampler3D",
        "samplerCube", "struct",        "main",    "texture",   "input",     "output",    "sample",
        "patch"};
    return kWords.count(name) != 0;
}

template <class E>
using ValueNames = std::initializer_list<std::pair<const char*, E>>;

const ValueNames<BlendFactor> kBlendFactors = {{"Zero", BlendFactor::Zero},
                                               {"One", BlendFactor::One},
                                               {"SrcColor", BlendFactor::SrcColor},
                                               {"InvSrcColor", BlendFactor::InvSrcColor},
                                               {"SrcAlpha", BlendFactor::SrcAlpha},
                                               {"InvSrcAlpha", BlendFactor::InvSrcAlpha},
                                               {"DestAlpha", BlendFactor::DestAlpha},
                                               {"InvDestAlpha", BlendFactor::InvDestAlpha},
                                               {"DestColor", BlendFactor::DestColor},
                                               {"InvDestColor", BlendFactor::InvDestColor},
                                               {"SrcAlphaSat", BlendFactor::SrcAlphaSat}};
const ValueNames<BlendOp> kBlendOps = {{"Add", BlendOp::Add},
                                       {"Subtract", BlendOp::Subtract},
                                       {"RevSubtract", BlendOp::RevSubtract},
                                       {"Min", BlendOp::Min},
                                       {"Max", BlendOp::Max}};
const ValueNames<CompareFunc> kCompareFuncs = {{"Never", CompareFunc::Never},
                                               {"Less", CompareFunc::Less},
                                               {"Equal", CompareFunc::Equal},
                                               {"LessEqual", CompareFunc::LessEqual},
                                               {"Greater", CompareFunc::Greater},
                                               {"NotEqual", CompareFunc::NotEqual},
                                               {"GreaterEqual", CompareFunc::GreaterEqual},
                                               {"Always", CompareFunc::Always}};
const ValueNames<CullMode> kCullModes = {
    {"None", CullMode::None}, {"CW", CullMode::CW}, {"CCW", CullMode::CCW}};
const ValueNames<FillMode> kFillModes = {
    {"Point", FillMode::Point}, {"Wireframe", FillMode::Wireframe}, {"Solid", FillMode::Solid}};
const ValueNames<TextureFilter> kFilters = {{"None", TextureFilter::None},
                                            {"Point", TextureFilter::Point},
                                            {"Linear", TextureFilter::Linear},
                                            {"Anisotropic", TextureFilter::Anisotropic}};
const ValueNames<TextureAddress> kAddresses = {{"Wrap", TextureAddress::Wrap},
                                               {"Mirror", TextureAddress::Mirror},
                                               {"Clamp", TextureAddress::Clamp},
                                               {"Border", TextureAddress::Border}};
const ValueNames<unsigned> kWriteMasks = {
    {"Red", kWriteRed}, {"Green", kWriteGreen}, {"Blue", kWriteBlue}, {"Alpha", kWriteAlpha}};

const char* const kPassStates =
    "VertexShader, FragmentShader, AlphaBlendEnable, SrcBlend, DestBlend, BlendOp, ZEnable, ZFunc, "
    "ZWriteEnable, CullMode, FillMode, ColorWriteEnable, AlphaTestEnable, AlphaFunc, AlphaRef";
const char* const kSamplerStates =
    "MinFilter, MagFilter, MipFilter, AddressU, AddressV, AddressW, MaxAnisotropy, BorderColor";

// Parses the declaration header into an EffectSource whose sections are already split and scanned.
// The first error is kept and ends the token stream, so every loop stops at the End token and
// nothing after the first problem is reported or read.
class HeaderParser {
public:
    HeaderParser(std::string_view header, EffectSource& effect, EffectDiagnostic& error)
        : lexer(header), effect(effect), error(error) {
        Advance();
    }

    void Parse() {
        while (!Failed() && current.kind != TokenKind::End) {
            if (IsWord("technique"))
                ParseTechnique();
            else if (IsWord("shared") ||
                     (current.kind == TokenKind::Identifier && TypeFromName(current.text)))
                ParseParameter();
            else
                Fail(current.line,
                     "expected a parameter declaration or 'technique', found " + Describe(current));
        }
    }

private:
    bool Failed() const { return !error.message.empty(); }

    void Fail(int line, std::string message) {
        if (Failed())
            return;
        error.line = line;
        error.message = std::move(message);
        current = {TokenKind::End, "", line};
    }

    void Advance() {
        if (Failed())
            return;
        current = lexer.Next();
        if (current.kind == TokenKind::Error)
            Fail(current.line, current.text);
    }

    static std::string Describe(const Token& token) {
        switch (token.kind) {
        case TokenKind::End:
            return "the end of the declarations";
        case TokenKind::String:
            return "\"" + token.text + "\"";
        default:
            return "'" + token.text + "'";
        }
    }

    bool IsWord(const char* word) const {
        return current.kind == TokenKind::Identifier && current.text == word;
    }
    bool IsSymbol(char c) const {
        return current.kind == TokenKind::Symbol && current.text.size() == 1 && current.text[0] == c;
    }

    bool AcceptSymbol(char c) {
        if (!IsSymbol(c))
            return false;
        Advance();
        return true;
    }

    void ExpectSymbol(char c, const std::string& where) {
        if (!AcceptSymbol(c))
            Fail(current.line, std::string("expected '") + c + "' " + where + ", found " + Describe(current));
    }

    std::string ExpectIdentifier(const std::string& what) {
        if (current.kind != TokenKind::Identifier) {
            Fail(current.line, "expected " + what + ", found " + Describe(current));
            return {};
        }
        std::string name = current.text;
        Advance();
        return name;
    }

    // Reads a number token as float; with integer set, only whole numbers in int range are taken.
    template <class T>
    T ParseNumber(const std::string& what) {
        T value{};
        if (current.kind != TokenKind::Number) {
            Fail(current.line, "expected " + what + ", found " + Describe(current));
            return value;
        }
        std::string text = current.text;
        if (!text.empty() && text[0] == '+')
            text.erase(0, 1);
        bool ok;
        if constexpr (std::is_same_v<T, int>) {
            ok = text.find_first_of(".eEfF") == std::string::npos;
        } else {
            if (!text.empty() && (text.back() == 'f' || text.back() == 'F'))
                text.pop_back();
            ok = true;
        }
        if (ok) {
            const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
            ok = code == std::errc() && end == text.data() + text.size();
        }
        if (!ok)
            Fail(current.line, "expected " + what + ", found " + Describe(current));
        Advance();
        return value;
    }

    bool ParseBool(const std::string& what) {
        const std::string word = current.kind == TokenKind::Identifier ? Lower(current.text) : "";
        if (word != "true" && word != "false") {
            Fail(current.line, "expected true or false for " + what + ", found " + Describe(current));
            return false;
        }
        Advance();
        return word == "true";
    }

    template <class E>
    E ParseEnum(const std::string& what, ValueNames<E> names) {
        const std::string word = current.kind == TokenKind::Identifier ? Lower(current.text) : "";
        for (const auto& [name, value] : names)
            if (word == Lower(name)) {
                Advance();
                return value;
            }
        std::string known;
        for (const auto& entry : names)
            known += (known.empty() ? "" : ", ") + std::string(entry.first);
        Fail(current.line, Describe(current) + " is not a value of " + what + " (use " + known + ")");
        return E{};
    }

    void CheckParameterName(const std::string& name, int line) {
        for (const ParameterSource& other : effect.parameters)
            if (other.name == name)
                return Fail(line, "parameter '" + name + "' is already declared on line " +
                                      std::to_string(other.line));
        if (name.rfind("gl_", 0) == 0 || name.find("__") != std::string::npos || IsGlslWord(name))
            Fail(line, "parameter name '" + name + "' is reserved by GLSL");
        else if (FindVertexInput(name))
            Fail(line, "parameter name '" + name + "' is taken by the vertex input of that name");
    }

    void ParseParameter() {
        ParameterSource parameter;
        parameter.line = current.line;
        if (IsWord("shared")) {
            parameter.shared = true;
            Advance();
        }
        const auto type = current.kind == TokenKind::Identifier ? TypeFromName(current.text) : std::nullopt;
        if (!type)
            return Fail(current.line, "expected a parameter type (float, int, bool, float2, float3, float4, "
                                      "float4x4, texture), found " +
                                          Describe(current));
        parameter.type = *type;
        Advance();
        parameter.name = ExpectIdentifier("a parameter name");
        CheckParameterName(parameter.name, parameter.line);
        if (AcceptSymbol(':'))
            parameter.semantic = ExpectIdentifier("a semantic name after ':'");
        if (IsSymbol('<'))
            parameter.annotations = ParseAnnotations();
        if (IsSymbol('=')) {
            if (parameter.type == ParameterType::Texture)
                return Fail(current.line, "texture '" + parameter.name +
                                              "' cannot have an initial value: the engine binds textures");
            Advance();
            ParseInitialValue(parameter);
        }
        if (IsSymbol('{')) {
            if (parameter.type != ParameterType::Texture)
                return Fail(current.line, "only a texture takes a sampler state block, '" + parameter.name +
                                              "' is a " + ParameterTypeName(parameter.type));
            ParseSamplerBlock(parameter);
        }
        ExpectSymbol(';', "at the end of parameter '" + parameter.name + "'");
        effect.parameters.push_back(std::move(parameter));
    }

    void ParseInitialValue(ParameterSource& parameter) {
        parameter.hasInitialValue = true;
        const std::string what = std::string("the initial value of ") + ParameterTypeName(parameter.type) +
                                 " '" + parameter.name + "'";
        std::byte* out = parameter.initialValue.data();
        if (parameter.type == ParameterType::Bool) {
            const std::int32_t value = ParseBool(what) ? 1 : 0;
            std::memcpy(out, &value, 4);
        } else if (parameter.type == ParameterType::Int) {
            const std::int32_t value = ParseNumber<int>("an integer as " + what);
            std::memcpy(out, &value, 4);
        } else if (parameter.type == ParameterType::Float) {
            const float value = ParseNumber<float>("a number as " + what);
            std::memcpy(out, &value, 4);
        } else {
            ParseFloatList(what, ParameterSize(parameter.type) / 4, reinterpret_cast<float*>(out));
        }
    }

    // "{ a, b, ... }" with exactly count numbers.
    void ParseFloatList(const std::string& what, int count, float* out) {
        const int line = current.line;
        ExpectSymbol('{', "to open " + what);
        for (int i = 0; i < count && !Failed(); ++i) {
            if (i > 0 && !AcceptSymbol(','))
                return Fail(current.line, what + " needs " + std::to_string(count) + " numbers, found " +
                                              std::to_string(i));
            out[i] = ParseNumber<float>("a number in " + what);
        }
        if (!Failed() && !AcceptSymbol('}'))
            Fail(IsSymbol(',') ? line : current.line,
                 what + " needs exactly " + std::to_string(count) + " numbers in braces");
    }

    AnnotationList ParseAnnotations() {
        AnnotationList annotations;
        const int opened = current.line;
        Advance();
        while (!Failed() && !AcceptSymbol('>')) {
            if (current.kind == TokenKind::End) {
                Fail(opened, "annotation list opened here is not closed with '>'");
                break;
            }
            Annotation annotation;
            annotation.line = current.line;
            const std::string type = current.kind == TokenKind::Identifier ? current.text : "";
            if (type != "bool" && type != "int" && type != "float" && type != "string") {
                Fail(current.line,
                     "annotation type must be bool, int, float or string, found " + Describe(current));
                break;
            }
            Advance();
            annotation.name = ExpectIdentifier("an annotation name");
            if (FindAnnotation(annotations, annotation.name))
                Fail(annotation.line, "annotation '" + annotation.name + "' is given twice");
            ExpectSymbol('=', "after annotation '" + annotation.name + "'");
            const std::string what = type + " annotation '" + annotation.name + "'";
            if (type == "bool")
                annotation.value = ParseBool(what);
            else if (type == "int")
                annotation.value = ParseNumber<int>("an integer for " + what);
            else if (type == "float")
                annotation.value = ParseNumber<float>("a number for " + what);
            else if (current.kind == TokenKind::String) {
                annotation.value = current.text;
                Advance();
            } else {
                Fail(current.line, "expected a quoted string for " + what + ", found " + Describe(current));
            }
            ExpectSymbol(';', "after annotation '" + annotation.name + "'");
            annotations.push_back(std::move(annotation));
        }
        return annotations;
    }

    // Runs body for each "Name = value;" of a braced block, refusing a name given twice. The body
    // returns false for an unknown name.
    template <class Body>
    void ParseStateBlock(const std::string& block, const char* known, Body body) {
        const int opened = current.line;
        Advance();
        std::set<std::string> seen;
        while (!Failed() && !AcceptSymbol('}')) {
            if (current.kind == TokenKind::End)
                return Fail(opened, block + " opened here is not closed with '}'");
            const Token name = current;
            const std::string key = Lower(ExpectIdentifier("a state name or '}' in " + block));
            ExpectSymbol('=', "after '" + name.text + "'");
            if (Failed())
                return;
            if (!seen.insert(key).second)
                return Fail(name.line, "'" + name.text + "' is set twice in " + block);
            if (!body(key, name.text))
                return Fail(name.line,
                            "unknown state '" + name.text + "' in " + block + " (known: " + known + ")");
            ExpectSymbol(';', "after the value of '" + name.text + "'");
        }
    }

    void ParseSamplerBlock(ParameterSource& parameter) {
        SamplerState& s = parameter.sampler;
        ParseStateBlock("the sampler state of '" + parameter.name + "'", kSamplerStates,
                        [&](const std::string& key, const std::string& name) {
                            if (key == "minfilter")
                                s.minFilter = ParseEnum(name, kFilters);
                            else if (key == "magfilter")
                                s.magFilter = ParseEnum(name, kFilters);
                            else if (key == "mipfilter")
                                s.mipFilter = ParseEnum(name, kFilters);
                            else if (key == "addressu")
                                s.addressU = ParseEnum(name, kAddresses);
                            else if (key == "addressv")
                                s.addressV = ParseEnum(name, kAddresses);
                            else if (key == "addressw")
                                s.addressW = ParseEnum(name, kAddresses);
                            else if (key == "maxanisotropy")
                                s.maxAnisotropy = ParseRange(name, 1, 16);
                            else if (key == "bordercolor")
                                ParseFloatList("BorderColor", 4, s.borderColor.data());
                            else
                                return false;
                            return true;
                        });
    }

    int ParseRange(const std::string& what, int low, int high) {
        const int line = current.line;
        const int value = ParseNumber<int>("an integer for " + what);
        if (!Failed() && (value < low || value > high))
            Fail(line, what + " must be from " + std::to_string(low) + " to " + std::to_string(high));
        return value;
    }

    void ParseTechnique() {
        TechniqueSource technique;
        technique.line = current.line;
        Advance();
        technique.name = ExpectIdentifier("a technique name");
        if (const TechniqueSource* other = effect.FindTechnique(technique.name); other && !Failed())
            return Fail(technique.line, "technique '" + technique.name + "' is already defined on line " +
                                            std::to_string(other->line));
        if (IsSymbol('<'))
            technique.annotations = ParseAnnotations();
        const int opened = current.line;
        ExpectSymbol('{', "to open technique '" + technique.name + "'");
        while (!Failed() && !AcceptSymbol('}')) {
            if (current.kind == TokenKind::End)
                return Fail(opened, "technique '" + technique.name + "' opened here is not closed with '}'");
            if (!IsWord("pass"))
                return Fail(current.line, "expected 'pass' or '}' in technique '" + technique.name +
                                              "', found " + Describe(current));
            ParsePass(technique);
        }
        effect.techniques.push_back(std::move(technique));
    }

    void ParsePass(TechniqueSource& technique) {
        PassSource pass;
        pass.line = current.line;
        Advance();
        if (current.kind == TokenKind::Identifier)
            pass.name = ExpectIdentifier("a pass name");
        const std::string label =
            "pass " + (pass.name.empty() ? std::to_string(technique.passes.size()) : "'" + pass.name + "'") +
            " of technique '" + technique.name + "'";
        for (const PassSource& other : technique.passes)
            if (!pass.name.empty() && other.name == pass.name)
                return Fail(pass.line, label + " is already defined on line " + std::to_string(other.line));
        if (IsSymbol('<'))
            pass.annotations = ParseAnnotations();
        if (!IsSymbol('{'))
            return Fail(current.line, "expected '{' to open " + label + ", found " + Describe(current));
        ParseStateBlock(label, kPassStates, [&](const std::string& key, const std::string& name) {
            return ParsePassState(pass, key, name);
        });
        if (!Failed())
            FinishPass(pass, label);
        technique.passes.push_back(std::move(pass));
    }

    bool ParsePassState(PassSource& pass, const std::string& key, const std::string& name) {
        RenderStates& s = pass.states;
        if (key == "vertexshader")
            ParseSectionList(pass.vertexSections);
        else if (key == "fragmentshader")
            ParseSectionList(pass.fragmentSections);
        else if (key == "alphablendenable")
            s.alphaBlendEnable = ParseBool(name);
        else if (key == "srcblend")
            s.srcBlend = ParseEnum(name, kBlendFactors);
        else if (key == "destblend")
            s.destBlend = ParseEnum(name, kBlendFactors);
        else if (key == "blendop")
            s.blendOp = ParseEnum(name, kBlendOps);
        else if (key == "zenable")
            s.zEnable = ParseBool(name);
        else if (key == "zfunc")
            s.zFunc = ParseEnum(name, kCompareFuncs);
        else if (key == "zwriteenable")
            s.zWriteEnable = ParseBool(name);
        else if (key == "cullmode")
            s.cullMode = ParseEnum(name, kCullModes);
        else if (key == "fillmode")
            s.fillMode = ParseEnum(name, kFillModes);
        else if (key == "colorwriteenable")
            s.colorWriteEnable = ParseWriteMask(name);
        else if (key == "alphatestenable")
            s.alphaTestEnable = ParseBool(name);
        else if (key == "alphafunc")
            s.alphaFunc = ParseEnum(name, kCompareFuncs);
        else if (key == "alpharef")
            s.alphaRef = ParseRange(name, 0, 255);
        else
            return false;
        return true;
    }

    // "Red | Green | Blue | Alpha" in any selection, or a number from 0 to 15.
    unsigned ParseWriteMask(const std::string& name) {
        if (current.kind == TokenKind::Number)
            return static_cast<unsigned>(ParseRange(name, 0, 15));
        unsigned mask = ParseEnum(name, kWriteMasks);
        while (!Failed() && AcceptSymbol('|'))
            mask |= ParseEnum(name, kWriteMasks);
        return mask;
    }

    // "Name" or "Common, Name": sections joined in this order into one stage.
    void ParseSectionList(std::vector<std::size_t>& indices) {
        do {
            const int line = current.line;
            const std::string name = ExpectIdentifier("a glsl section name");
            if (Failed())
                return;
            const auto found = std::find_if(effect.sections.begin(), effect.sections.end(),
                                            [&](const GlslSection& s) { return s.name == name; });
            if (found == effect.sections.end())
                return Fail(line,
                            "no glsl section named '" + name + "' (add a '-- glsl " + name + "' section)");
            indices.push_back(static_cast<std::size_t>(found - effect.sections.begin()));
        } while (AcceptSymbol(','));
    }

    // Checks that need the whole pass: both stages named and defining main(), vertex inputs that name
    // a usage, and the one colour output an alpha test reads.
    void FinishPass(PassSource& pass, const std::string& label) {
        if (pass.vertexSections.empty())
            return Fail(pass.line, label + " names no vertex code (VertexShader = Section;)");
        if (pass.fragmentSections.empty())
            return Fail(pass.line, label + " names no fragment code (FragmentShader = Section;)");
        if (!DefinesMain(pass.vertexSections))
            return Fail(pass.line, label + ": its vertex code defines no main()");
        if (!DefinesMain(pass.fragmentSections))
            return Fail(pass.line, label + ": its fragment code defines no main()");
        for (std::size_t index : pass.vertexSections)
            for (const GlslSection::Declaration& input : effect.sections[index].inputs) {
                const auto usage = FindVertexInput(input.name);
                if (!usage)
                    return Fail(input.line, "vertex input '" + input.name + "' names no vertex usage (use " +
                                                VertexInputNameList() + ")");
                pass.vertexInputs.push_back({input.name, *usage});
            }
        if (pass.states.alphaTestEnable.value_or(false)) {
            std::vector<GlslSection::Declaration> outputs;
            for (std::size_t index : pass.fragmentSections)
                outputs.insert(outputs.end(), effect.sections[index].outputs.begin(),
                               effect.sections[index].outputs.end());
            if (outputs.size() != 1)
                return Fail(pass.line, label +
                                           " enables the alpha test, which needs exactly one 'out vec4' "
                                           "in its fragment code; found " +
                                           std::to_string(outputs.size()));
            pass.colorOutput = outputs.front().name;
        }
    }

    bool DefinesMain(const std::vector<std::size_t>& indices) const {
        return std::any_of(indices.begin(), indices.end(),
                           [&](std::size_t i) { return effect.sections[i].definesMain; });
    }

    EffectLexer lexer;
    EffectSource& effect;
    EffectDiagnostic& error;
    Token current;
};

} // namespace

std::optional<EffectSource> ParseEffect(std::string_view text, const std::string& fileName,
                                        EffectDiagnostic& error) {
    error = {fileName, 0, ""};
    EffectSource effect;
    effect.fileName = fileName;
    std::string_view header;
    bool ok = SplitSections(text, header, effect.sections, error);
    for (GlslSection& section : effect.sections)
        ok = ok && ScanSection(section, error);
    if (ok)
        HeaderParser(header, effect, error).Parse();
    error.file = fileName;
    if (!error.message.empty())
        return std::nullopt;
    return effect;
}

std::optional<EffectSource> ReadEffectFile(const std::string& path, EffectDiagnostic& error) {
    std::error_code ignored;
    std::ifstream in(path, std::ios::binary);
    // A folder opens as a stream here and reads as empty text: treat it as the missing file it is.
    if (!in || std::filesystem::is_directory(path, ignored)) {
        error = {path, 0, "cannot open the effect file"};
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = {path, 0, "cannot read the effect file"};
        return std::nullopt;
    }
    return ParseEffect(text.str(), path, error);
}

} // namespace engine::gfx

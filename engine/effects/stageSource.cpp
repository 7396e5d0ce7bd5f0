#include "effects/stageSource.h"

#include <cctype>
#include <charconv>

namespace engine::gfx {

namespace {

// The user's main() is renamed while an alpha test wraps it.
constexpr const char* kWrappedMain = "effectPassMain";

const char* CompareOperator(CompareFunc func) {
    switch (func) {
    case CompareFunc::Less:
        return "<";
    case CompareFunc::Equal:
        return "==";
    case CompareFunc::LessEqual:
        return "<=";
    case CompareFunc::Greater:
        return ">";
    case CompareFunc::NotEqual:
        return "!=";
    case CompareFunc::GreaterEqual:
        return ">=";
    default:
        return nullptr;
    }
}

// Direct3D compares the 8-bit alpha of the pixel with the reference, so the output alpha is quantised
// to 0..255 the same way before the comparison. Never discards everything; Always needs no code.
bool NeedsAlphaTest(const PassSource& pass) {
    return pass.states.alphaTestEnable.value_or(false) &&
           pass.states.alphaFunc.value_or(CompareFunc::Always) != CompareFunc::Always;
}

std::string AlphaTestMain(const PassSource& pass) {
    const CompareFunc func = pass.states.alphaFunc.value_or(CompareFunc::Always);
    std::string test = "false";
    if (const char* op = CompareOperator(func))
        test = "floor(clamp(" + pass.colorOutput + ".a, 0.0, 1.0) * 255.0 + 0.5) " + op + " " +
               std::to_string(pass.states.alphaRef.value_or(0)) + ".0";
    return "#undef main\nvoid main()\n{\n    " + std::string(kWrappedMain) + "();\n    if (!(" + test +
           "))\n        discard;\n}\n";
}

void AppendLine(std::string& out, int& generatedLines, const std::string& text) {
    out += text;
    out += '\n';
    ++generatedLines;
}

} // namespace

std::string BuildStageSource(const EffectSource& effect, const PassSource& pass, ShaderStage stage) {
    const bool alphaTest = stage == ShaderStage::Fragment && NeedsAlphaTest(pass);
    std::string out = "#version 330 core\n#line 1 " + std::to_string(kGeneratedSourceString) + "\n";
    int generatedLines = 0;
    for (const ParameterSource& parameter : effect.parameters)
        AppendLine(out, generatedLines,
                   std::string("uniform ") + GlslTypeName(parameter.type) + " " + parameter.name + ";");
    if (alphaTest)
        AppendLine(out, generatedLines, std::string("#define main ") + kWrappedMain);
    const auto& sections = stage == ShaderStage::Vertex ? pass.vertexSections : pass.fragmentSections;
    for (std::size_t index : sections) {
        const GlslSection& section = effect.sections[index];
        out += "#line " + std::to_string(section.firstLine) + " 0\n";
        out += section.text;
        if (!section.text.empty() && section.text.back() != '\n')
            out += '\n';
    }
    if (alphaTest)
        out += "#line " + std::to_string(generatedLines + 1) + " " + std::to_string(kGeneratedSourceString) +
               "\n" + AlphaTestMain(pass);
    return out;
}

namespace {

bool ReadNumber(std::string_view text, std::size_t& at, int& value) {
    const auto [end, code] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (code != std::errc())
        return false;
    at = static_cast<std::size_t>(end - text.data());
    return true;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Reads the position prefix drivers put before a message: "0:12(5): " (Mesa), "0(12) : " (NVIDIA) or
// "0:12: " (AMD, after "ERROR: "). On success `at` is past the colon that ends it.
bool ReadPosition(std::string_view text, std::size_t& at, int& sourceString, int& line) {
    std::size_t i = at;
    if (!ReadNumber(text, i, sourceString) || i >= text.size())
        return false;
    if (text[i] == ':') {
        ++i;
        if (!ReadNumber(text, i, line))
            return false;
        if (i < text.size() && text[i] == '(') {
            int column;
            if (!ReadNumber(text, ++i, column) || i >= text.size() || text[i] != ')')
                return false;
            ++i;
        }
    } else if (text[i] == '(') {
        if (!ReadNumber(text, ++i, line) || i >= text.size() || text[i] != ')')
            return false;
        ++i;
    } else {
        return false;
    }
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i >= text.size() || text[i] != ':')
        return false;
    at = i + 1;
    return true;
}

} // namespace

std::vector<EffectDiagnostic> ParseCompilerLog(std::string_view log, const std::string& fileName,
                                               int fallbackLine) {
    std::vector<EffectDiagnostic> diagnostics;
    // The device names the stage before the first line of each stage's log ("vertex shader: ...");
    // it applies to the lines after it too.
    std::string stage;
    while (!log.empty()) {
        const std::size_t end = std::min(log.find('\n'), log.size());
        std::string_view text = Trim(log.substr(0, end));
        log.remove_prefix(std::min(end + 1, log.size()));
        if (text.empty())
            continue;
        for (const char* prefix : {"vertex shader: ", "fragment shader: ", "link: "})
            if (text.starts_with(prefix)) {
                stage = prefix;
                text = Trim(text.substr(stage.size()));
            }
        std::string severity;
        for (const char* prefix : {"ERROR: ", "WARNING: "})
            if (text.substr(0, std::char_traits<char>::length(prefix)) == prefix) {
                severity = std::string(prefix);
                for (char& c : severity)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                text.remove_prefix(severity.size());
            }
        std::size_t at = 0;
        int sourceString = 0, line = 0;
        EffectDiagnostic diagnostic{fileName, fallbackLine, ""};
        if (ReadPosition(text, at, sourceString, line)) {
            text = Trim(text.substr(at));
            if (sourceString == 0 && line > 0)
                diagnostic.line = line;
            else
                severity = "in generated code: " + severity;
        }
        diagnostic.message = stage + severity + std::string(text);
        diagnostics.push_back(std::move(diagnostic));
    }
    return diagnostics;
}

} // namespace engine::gfx

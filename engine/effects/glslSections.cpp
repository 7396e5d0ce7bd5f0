#include "effects/glslSections.h"

#include <algorithm>

namespace engine::gfx {

namespace {

bool IsIdentifierStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsIdentifierChar(char c) {
    return IsIdentifierStart(c) || (c >= '0' && c <= '9');
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// A marker is a line that starts with "--" followed, after optional blanks, by the word "glsl".
bool IsMarker(std::string_view line) {
    if (line.substr(0, 2) != "--")
        return false;
    std::size_t i = 2;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    return line.substr(i, 4) == "glsl" && (i + 4 == line.size() || !IsIdentifierChar(line[i + 4]));
}

bool ReadMarkerName(std::string_view line, int lineNumber, std::string& name, EffectDiagnostic& error) {
    std::size_t i = line.find("glsl") + 4;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    const std::size_t start = i;
    while (i < line.size() && IsIdentifierChar(line[i]))
        ++i;
    name = std::string(line.substr(start, i - start));
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    error.line = lineNumber;
    if (name.empty() && i == line.size())
        error.message = "section marker has no name; write '-- glsl Name'";
    else if (name.empty() || !IsIdentifierStart(name[0]) || i != line.size())
        error.message = "section name after '-- glsl' must be one identifier";
    else
        return true;
    return false;
}

struct GlslToken {
    std::string text; // an identifier, or one symbol character
    int line = 0;
};

// Tokens of GLSL that matter to the scan: identifiers and the symbols that delimit declarations.
// Comments, numbers, operators and preprocessor lines are skipped.
class GlslScanner {
public:
    GlslScanner(std::string_view text, int firstLine) : text(text), line(firstLine) {}

    bool Next(GlslToken& token, EffectDiagnostic& error) {
        while (position < text.size()) {
            const char c = text[position];
            if (c == '\n') {
                ++line;
                ++position;
                atLineStart = true;
            } else if (IsBlank(c)) {
                ++position;
            } else if (c == '#' && atLineStart) {
                if (!SkipDirective(error))
                    return false;
            } else if (text.substr(position, 2) == "//") {
                while (position < text.size() && text[position] != '\n')
                    ++position;
            } else if (text.substr(position, 2) == "/*") {
                SkipBlockComment();
            } else {
                atLineStart = false;
                const std::size_t start = position++;
                if (IsIdentifierStart(c)) {
                    while (position < text.size() && IsIdentifierChar(text[position]))
                        ++position;
                } else if (std::string_view("{}();,[]").find(c) == std::string_view::npos) {
                    continue;
                }
                token = {std::string(text.substr(start, position - start)), line};
                return true;
            }
        }
        token = {};
        return false;
    }

private:
    void SkipBlockComment() {
        position += 2;
        while (position < text.size() && text.substr(position, 2) != "*/") {
            if (text[position] == '\n')
                ++line;
            ++position;
        }
        position = std::min(position + 2, text.size());
    }

    // Skips a preprocessor line with its backslash continuations. "#version" is refused: the
    // framework puts its own first, and a second one would not compile.
    bool SkipDirective(EffectDiagnostic& error) {
        std::size_t i = position + 1;
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        if (text.substr(i, 7) == "version") {
            error.line = line;
            error.message = "#version is not allowed in a glsl section: the framework starts every "
                            "stage with '#version 330 core'";
            return false;
        }
        while (position < text.size() && text[position] != '\n') {
            if (text[position] == '\\' && position + 1 < text.size() && text[position + 1] == '\n') {
                ++line;
                ++position;
            }
            ++position;
        }
        return true;
    }

    std::string_view text;
    std::size_t position = 0;
    int line;
    bool atLineStart = true;
};

bool IsQualifier(const std::string& word) {
    static const char* const kQualifiers[] = {"flat",  "smooth",  "noperspective", "centroid", "invariant",
                                              "highp", "mediump", "lowp",          "const",    "layout"};
    return std::any_of(std::begin(kQualifiers), std::end(kQualifiers),
                       [&](const char* q) { return word == q; });
}

// Reads the names a global declaration such as "layout(location = 0) out vec4 colour;" or
// "in vec2 TEXCOORD0, TEXCOORD1;" declares as "in" or "out". Parenthesised parts were dropped already.
void CollectDeclaration(const std::vector<GlslToken>& tokens, GlslSection& section) {
    auto storage = std::find_if(tokens.begin(), tokens.end(),
                                [](const GlslToken& t) { return t.text == "in" || t.text == "out"; });
    if (storage == tokens.end())
        return;
    auto& list = storage->text == "in" ? section.inputs : section.outputs;
    auto i = storage + 1;
    while (i != tokens.end() && IsQualifier(i->text))
        ++i;
    if (i == tokens.end())
        return;
    bool expectName = true; // right after the type or a comma
    for (++i; i != tokens.end(); ++i) {
        if (expectName && IsIdentifierStart(i->text[0]))
            list.push_back({i->text, i->line});
        expectName = i->text == ",";
    }
}

} // namespace

bool SplitSections(std::string_view text, std::string_view& header, std::vector<GlslSection>& sections,
                   EffectDiagnostic& error) {
    header = text;
    GlslSection* current = nullptr;
    int lineNumber = 1;
    for (std::size_t start = 0; start < text.size(); ++lineNumber) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (IsMarker(line)) {
            if (current == nullptr)
                header = text.substr(0, start);
            GlslSection section;
            if (!ReadMarkerName(line, lineNumber, section.name, error))
                return false;
            for (const GlslSection& other : sections)
                if (other.name == section.name) {
                    error = {"", lineNumber,
                             "glsl section '" + section.name + "' is already defined on line " +
                                 std::to_string(other.firstLine - 1)};
                    return false;
                }
            section.firstLine = lineNumber + 1;
            sections.push_back(std::move(section));
            current = &sections.back();
        } else if (current != nullptr) {
            current->text.append(text.substr(start, std::min(end + 1, text.size()) - start));
        }
        start = end + 1;
    }
    return true;
}

bool ScanSection(GlslSection& section, EffectDiagnostic& error) {
    GlslScanner scanner(section.text, section.firstLine);
    std::vector<GlslToken> declaration; // tokens of the current global declaration, outside parentheses
    int braces = 0, parentheses = 0;
    GlslToken token, previous;
    while (scanner.Next(token, error)) {
        if (braces == 0 && parentheses == 0 && token.text == "(" && previous.text == "main")
            section.definesMain = true;
        if (token.text == "{") {
            ++braces;
            declaration.clear();
        } else if (token.text == "}") {
            braces = std::max(braces - 1, 0);
        } else if (token.text == "(") {
            ++parentheses;
        } else if (token.text == ")") {
            parentheses = std::max(parentheses - 1, 0);
        } else if (braces == 0 && parentheses == 0) {
            if (token.text == ";") {
                CollectDeclaration(declaration, section);
                declaration.clear();
            } else {
                declaration.push_back(token);
            }
        }
        previous = token;
    }
    return error.message.empty();
}

} // namespace engine::gfx

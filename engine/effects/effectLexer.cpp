#include "effects/effectLexer.h"

namespace engine::gfx {

namespace {

bool IsIdentifierStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsIdentifierChar(char c) {
    return IsIdentifierStart(c) || IsDigit(c);
}

Token MakeError(int line, std::string message) {
    return {TokenKind::Error, std::move(message), line};
}

} // namespace

EffectLexer::EffectLexer(std::string_view text) : text(text) {}

void EffectLexer::SkipSpaceAndComments(Token& error) {
    while (position < text.size()) {
        const char c = text[position];
        if (c == '\n') {
            ++line;
            ++position;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++position;
        } else if (text.substr(position, 2) == "//") {
            while (position < text.size() && text[position] != '\n')
                ++position;
        } else if (text.substr(position, 2) == "/*") {
            const int opened = line;
            position += 2;
            while (position < text.size() && text.substr(position, 2) != "*/") {
                if (text[position] == '\n')
                    ++line;
                ++position;
            }
            if (position >= text.size()) {
                error = MakeError(opened, "comment opened here is not closed with '*/'");
                return;
            }
            position += 2;
        } else {
            return;
        }
    }
}

// Numbers as effect files write them: an optional sign, digits with an optional fraction and exponent,
// and an optional 'f' suffix ("-0.5", "2", "1e-3", ".25f").
Token EffectLexer::LexNumber() {
    const std::size_t start = position;
    if (text[position] == '-' || text[position] == '+')
        ++position;
    while (position < text.size() && IsDigit(text[position]))
        ++position;
    if (position < text.size() && text[position] == '.') {
        ++position;
        while (position < text.size() && IsDigit(text[position]))
            ++position;
    }
    if (position < text.size() && (text[position] == 'e' || text[position] == 'E')) {
        std::size_t exponent = position + 1;
        if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+'))
            ++exponent;
        if (exponent < text.size() && IsDigit(text[exponent])) {
            position = exponent;
            while (position < text.size() && IsDigit(text[position]))
                ++position;
        }
    }
    if (position < text.size() && (text[position] == 'f' || text[position] == 'F'))
        ++position;
    if (position < text.size() && IsIdentifierChar(text[position])) {
        while (position < text.size() && IsIdentifierChar(text[position]))
            ++position;
        return MakeError(line,
                         "malformed number '" + std::string(text.substr(start, position - start)) + "'");
    }
    return {TokenKind::Number, std::string(text.substr(start, position - start)), line};
}

// A double-quoted string on one line; \" and \\ stand for the quote and the backslash.
Token EffectLexer::LexString() {
    const int opened = line;
    std::string value;
    ++position;
    while (position < text.size() && text[position] != '"') {
        char c = text[position];
        if (c == '\n')
            break;
        if (c == '\\' && position + 1 < text.size() &&
            (text[position + 1] == '"' || text[position + 1] == '\\'))
            c = text[++position];
        value += c;
        ++position;
    }
    if (position >= text.size() || text[position] != '"')
        return MakeError(opened, "string is not closed with '\"' before the end of the line");
    ++position;
    return {TokenKind::String, std::move(value), opened};
}

Token EffectLexer::Next() {
    Token error;
    SkipSpaceAndComments(error);
    if (error.kind == TokenKind::Error) {
        position = text.size();
        return error;
    }
    if (position >= text.size())
        return {TokenKind::End, "", line};
    const char c = text[position];
    if (IsIdentifierStart(c)) {
        const std::size_t start = position;
        while (position < text.size() && IsIdentifierChar(text[position]))
            ++position;
        return {TokenKind::Identifier, std::string(text.substr(start, position - start)), line};
    }
    const bool signedNumber = (c == '-' || c == '+') && position + 1 < text.size() &&
                              (IsDigit(text[position + 1]) || text[position + 1] == '.');
    if (IsDigit(c) || signedNumber || (c == '.' && position + 1 < text.size() && IsDigit(text[position + 1])))
        return LexNumber();
    if (c == '"')
        return LexString();
    if (std::string_view("{}<>;=:,|").find(c) != std::string_view::npos) {
        ++position;
        return {TokenKind::Symbol, std::string(1, c), line};
    }
    const int at = line;
    position = text.size();
    const bool printable = static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 127;
    return MakeError(at, printable ? "unexpected character '" + std::string(1, c) + "'"
                                   : "unexpected byte " + std::to_string(static_cast<unsigned char>(c)));
}

} // namespace engine::gfx

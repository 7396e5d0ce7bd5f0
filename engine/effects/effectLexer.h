// Splits the declaration header of an effect file into tokens: identifiers, numbers, quoted strings
// and one-character symbols, skipping white space and C-style comments and counting lines. It never
// reads past the text it was given; malformed input becomes an Error token carrying the reason.
#pragma once

#include <string>
#include <string_view>

namespace engine::gfx {

enum class TokenKind { Identifier, Number, String, Symbol, End, Error };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text; // a string's content without quotes; an Error token's message
    int line = 0;
};

class EffectLexer {
public:
    explicit EffectLexer(std::string_view text);

    // The next token; End (repeatedly) once the text is used up.
    Token Next();

private:
    void SkipSpaceAndComments(Token& error);
    Token LexNumber();
    Token LexString();

    std::string_view text;
    std::size_t position = 0;
    int line = 1;
};

} // namespace engine::gfx

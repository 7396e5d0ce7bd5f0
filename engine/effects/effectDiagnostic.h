// What went wrong in an effect file and where: the file, the line and a message. Parsing and the GL
// compiler's log both produce these, so a caller can show every problem in one form.
#pragma once

#include <string>

namespace engine::gfx {

struct EffectDiagnostic {
    std::string file;
    int line = 0; // 0 when the problem has no line (a file that cannot be read, a link error)
    std::string message;

    // "file:line: message", the form compilers and editors use.
    std::string Text() const {
        return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
    }
};

} // namespace engine::gfx

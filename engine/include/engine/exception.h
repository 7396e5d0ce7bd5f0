// The engine's only exception type. It is thrown by the log's error writer right after the ERROR row
// is written, and carries the message and the place ("file:line") that reported it.
#pragma once

#include <engine/export.h>

#include <string>

namespace engine::core {

class ENGINE_API Exception {
public:
    Exception(std::wstring text, std::wstring function);
    Exception(const Exception& other);
    Exception& operator=(const Exception& other);
    ~Exception();

    std::wstring GetText() const;
    std::wstring GetFunction() const;

private:
    std::wstring text;
    std::wstring function;
};

} // namespace engine::core

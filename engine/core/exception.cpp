#include <engine/exception.h>

#include <utility>

namespace engine::core {

Exception::Exception(std::wstring text, std::wstring function)
    : text(std::move(text)), function(std::move(function)) {}
Exception::Exception(const Exception& other) = default;
Exception& Exception::operator=(const Exception& other) = default;
Exception::~Exception() = default;

std::wstring Exception::GetText() const {
    return text;
}
std::wstring Exception::GetFunction() const {
    return function;
}

} // namespace engine::core

// Conversions between the narrow UTF-8 text of the log and of file names, and the wide strings that
// paths, titles and exception texts use. Both go through the C library's multibyte functions in a
// UTF-8 locale, whatever the process locale is; a byte sequence that is not UTF-8 becomes '?'.
#pragma once

#include <string>

namespace engine::core {

std::string WideToNarrow(const std::wstring& text);
std::wstring NarrowToWide(const std::string& text);

} // namespace engine::core

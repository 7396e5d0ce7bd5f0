#include "core/textConversion.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cwchar>
#include <locale.h>

namespace engine::core {

namespace {

// Switches this thread to a UTF-8 character type for the life of the object. The locale object is made
// once and kept: making one loads the locale's data from disk, which cost more than the conversions
// it served, and a locale object may be used by any number of threads at once.
class Utf8Scope {
public:
    Utf8Scope() {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        if (utf8 != nullptr)
            previous = uselocale(utf8);
    }
    ~Utf8Scope() {
        if (previous != nullptr)
            uselocale(previous);
    }
    Utf8Scope(const Utf8Scope&) = delete;
    Utf8Scope& operator=(const Utf8Scope&) = delete;

private:
    locale_t previous = nullptr;
};

} // namespace

std::string WideToNarrow(const std::wstring& text) {
    Utf8Scope utf8;
    std::string result;
    result.reserve(text.size());
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t c : text) {
        std::size_t n = std::wcrtomb(buffer, c, &state);
        if (n == static_cast<std::size_t>(-1)) {
            result += '?';
            state = std::mbstate_t{};
        } else {
            result.append(buffer, n);
        }
    }
    return result;
}

std::wstring NarrowToWide(const std::string& text) {
    Utf8Scope utf8;
    std::wstring result;
    result.reserve(text.size());
    std::mbstate_t state{};
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        wchar_t c = 0;
        std::size_t n = std::mbrtowc(&c, p, left, &state);
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            // Invalid or truncated sequence: replace one byte and resynchronise.
            result += L'?';
            state = std::mbstate_t{};
            n = 1;
        } else if (n == 0) {
            result += L'\0';
            n = 1;
        } else {
            result += c;
        }
        p += n;
        left -= n;
    }
    return result;
}

} // namespace engine::core

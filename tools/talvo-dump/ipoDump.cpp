#include "ipoDump.h"

#include "formats/describeSupport.h"

#include <cstring>
#include <sstream>

namespace quorvel::dump {

namespace {

using formats::FormatFloat;
using formats::FormatFloats;

const char* InterpolationWord(std::int32_t code) {
    switch (code) {
    case 0:
        return "Constant";
    case 1:
        return "Linear";
    case 2:
        return "Bezier";
    }
    return nullptr;
}

const char* ExtrapolationWord(std::int32_t code) {
    switch (code) {
    case 3:
        return "Constant";
    case 4:
        return "Cyclic";
    case 5:
        return "Cyclic_extrapolation";
    }
    return nullptr;
}

class IpoDescriber {
public:
    explicit IpoDescriber(std::span<const std::uint8_t> bytes) : cursor(bytes) {
        out << ".ipo curves, " << bytes.size() << " bytes\n";
    }

    std::string Run() {
        try {
            const auto magic = cursor.Take(4, "the magic");
            if (std::memcmp(magic.data(), "IPOS", 4) != 0)
                throw std::out_of_range("the magic is not \"IPOS\"");
            const std::int32_t count = cursor.I32("the curve count");
            out << count << " curves\n";
            if (count < 0)
                throw std::out_of_range("negative curve count");
            for (std::int32_t i = 0; i < count; ++i)
                Curve("curve " + std::to_string(i));
            if (cursor.Left() > 0)
                out << cursor.Left() << " bytes after the last curve, not read\n";
        } catch (const std::out_of_range& broken) {
            out << (out.str().ends_with('\n') ? "! " : "\n! ") << broken.what() << '\n';
        }
        return out.str();
    }

private:
    void Curve(const std::string& where) {
        out << '@' << cursor.Offset() << ' ' << where << ' ';
        const std::string name = cursor.String("the name of " + where);
        out << '"' << name << "\": ";
        const std::int32_t interpolation = cursor.I32("the interpolation of " + where);
        const std::int32_t extrapolation = cursor.I32("the extrapolation of " + where);
        const std::int32_t keys = cursor.I32("the key count of " + where);
        out << Word(InterpolationWord(interpolation), interpolation) << ", "
            << Word(ExtrapolationWord(extrapolation), extrapolation) << ", " << keys << " keys\n";
        if (InterpolationWord(interpolation) == nullptr)
            throw std::out_of_range("interpolation code of " + where + " is not 0, 1 or 2");
        if (ExtrapolationWord(extrapolation) == nullptr)
            throw std::out_of_range("extrapolation code of " + where + " is not 3, 4 or 5");
        if (keys < 0)
            throw std::out_of_range("negative key count of " + where);
        for (std::int32_t k = 0; k < keys; ++k) {
            float v[6];
            for (float& value : v)
                value = cursor.F32("key " + std::to_string(k) + " of " + where);
            out << "    frame " << FormatFloat(v[2]) << ": " << FormatFloat(v[3]) << ", handles "
                << FormatFloats({v[0], v[1]}) << ' ' << FormatFloats({v[4], v[5]}) << '\n';
        }
    }

    static std::string Word(const char* word, std::int32_t code) {
        return word != nullptr ? word : "code " + std::to_string(code);
    }

    formats::ByteCursor cursor;
    std::ostringstream out;
};

} // namespace

std::string DescribeIpo(std::span<const std::uint8_t> bytes) {
    return IpoDescriber(bytes).Run();
}

} // namespace quorvel::dump

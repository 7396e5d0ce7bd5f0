#include "formats/demoDescribe.h"

#include "formats/describeSupport.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string_view>

namespace quorvel::formats {

namespace {

// The words the engine accepts; anything else stops the scene from loading.
constexpr std::string_view kChannels[] = {"Time",  "LocX",   "LocY",   "LocZ",   "dLocX", "dLocY",
                                          "dLocZ", "ScaleX", "ScaleY", "ScaleZ", "dRotX", "RotX",
                                          "dRotY", "RotY",   "dRotZ",  "RotZ"};
constexpr std::string_view kInterpolations[] = {"Constant", "Linear", "Bezier"};
constexpr std::string_view kExtrapolations[] = {"Constant", "Cyclic", "Cyclic_extrapolation"};

template <std::size_t N>
void ExpectWord(const std::string& word, const std::string_view (&words)[N], const std::string& what) {
    if (std::find(std::begin(words), std::end(words), word) == std::end(words))
        throw std::out_of_range("unknown " + what + " \"" + word + "\"");
}

class DemoDescriber {
public:
    explicit DemoDescriber(std::span<const std::uint8_t> bytes) : cursor(bytes) {
        out << ".demo scene, " << bytes.size() << " bytes\n";
    }

    std::string Run() {
        try {
            const auto magic = cursor.Take(4, "the magic");
            if (std::memcmp(magic.data(), "DEMO", 4) != 0)
                throw std::out_of_range("the magic is not \"DEMO\"");
            const std::int32_t count = cursor.I32("the object count");
            const std::int32_t length = cursor.I32("the scene length");
            out << count << " objects, length " << length << " frames (" << FormatFloat(length * 0.04f)
                << " s)\n";
            if (count < 0)
                throw std::out_of_range("negative object count");
            if (length < 0)
                throw std::out_of_range("negative scene length");
            for (std::int32_t i = 0; i < count; ++i)
                Object(i);
            if (cursor.Left() > 0)
                out << cursor.Left() << " bytes after the last object, not read\n";
        } catch (const std::out_of_range& broken) {
            out << (out.str().ends_with('\n') ? "! " : "\n! ") << broken.what() << '\n';
        }
        return out.str();
    }

private:
    void Object(std::int32_t index) {
        const std::string where = "object " + std::to_string(index);
        out << '@' << cursor.Offset() << ' ' << where << ": ";
        const std::string type = cursor.String("the type of " + where);
        const std::string name = cursor.String("the name of " + where);
        const std::string mesh = cursor.String("the mesh name of " + where);
        const std::string parent = cursor.String("the parent name of " + where);
        out << type << " \"" << name << '"';
        if (!mesh.empty())
            out << ", mesh \"" << mesh << '"';
        out << ", parent " << (parent.empty() ? "none" : '"' + parent + '"') << '\n';
        float pose[6];
        for (float& value : pose)
            value = cursor.F32("the pose of " + where);
        out << "    position " << FormatFloats({pose[0], pose[1], pose[2]}) << ", rotation "
            << FormatFloats({pose[3], pose[4], pose[5]}) << " radians\n";
        const std::int32_t curves = cursor.I32("the curve count of " + where);
        if (curves < 0)
            throw std::out_of_range("negative curve count of " + where);
        for (std::int32_t c = 0; c < curves; ++c)
            Curve("curve " + std::to_string(c) + " of " + where);
    }

    void Curve(const std::string& where) {
        const std::string channel = cursor.String("the channel of " + where);
        const std::string interpolation = cursor.String("the interpolation of " + where);
        const std::string extrapolation = cursor.String("the extrapolation of " + where);
        const std::int32_t keys = cursor.I32("the key count of " + where);
        out << "    curve " << channel << ", " << interpolation << ", " << extrapolation << ", " << keys
            << " keys\n";
        ExpectWord(channel, kChannels, "channel of " + where);
        ExpectWord(interpolation, kInterpolations, "interpolation of " + where);
        ExpectWord(extrapolation, kExtrapolations, "extrapolation of " + where);
        if (keys < 0)
            throw std::out_of_range("negative key count of " + where);
        for (std::int32_t k = 0; k < keys; ++k) {
            float v[6];
            for (float& value : v)
                value = cursor.F32("key " + std::to_string(k) + " of " + where);
            out << "        frame " << FormatFloat(v[2]) << ": " << FormatFloat(v[3]) << ", handles "
                << FormatFloats({v[0], v[1]}) << ' ' << FormatFloats({v[4], v[5]}) << '\n';
        }
    }

    ByteCursor cursor;
    std::ostringstream out;
};

} // namespace

std::string DescribeDemo(std::span<const std::uint8_t> bytes) {
    return DemoDescriber(bytes).Run();
}

} // namespace quorvel::formats

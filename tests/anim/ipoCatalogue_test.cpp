// The catalogue of malformed global curve files, made by the format writer: each is refused by the
// reader with one ERROR row that names the file and what is wrong.
#include "anim/ipoReader.h"
#include "formats/ipoWriter.h"
#include "support/malformedCatalogue.h"

#include <engine/exception.h>

#include <functional>

using namespace quorvel::test;
using quorvel::formats::IpoCurveRecord;
using quorvel::formats::IpoKey;
using quorvel::formats::IpoWriter;

namespace {

struct CurveCase {
    const char* name;
    std::function<void(IpoWriter&)> write; // what follows the magic; no writer: the file is missing
    const char* error;
    const char* magic = "IPOS";
};

IpoCurveRecord Fade() {
    return {"fade", 1, 3, {IpoKey(0, 0), IpoKey(25, 1)}};
}

const CurveCase kCases[] = {
    {"missing", nullptr, "No such ipo file found data/missing.ipo"},
    {"empty", [](IpoWriter&) {}, "Not TALVO IPO file format in file data/empty.ipo", ""},
    {"wrongMagic", [](IpoWriter& f) { f.Count(0); }, "Not TALVO IPO file format in file data/wrongMagic.ipo",
     "IPOZ"},
    {"countCut", [](IpoWriter& f) { f.Raw().U16(1); },
     "data/countCut.ipo: file ends inside the curve count (4 bytes needed at byte 4, 2 left)"},
    {"negativeCount", [](IpoWriter& f) { f.Count(-2); },
     "data/negativeCount.ipo: the curve count is negative (-2)"},
    {"countPastTheEnd", [](IpoWriter& f) { f.Count(100000); },
     "data/countPastTheEnd.ipo: the curve count is 100000, more than the file holds (0 bytes left at byte "
     "8)"},
    {"negativeNameLength",
     [](IpoWriter& f) {
         f.Count(1);
         f.Raw().I32(-1);
         f.Raw().Bytes(std::vector<char>(12).data(), 12);
     },
     "data/negativeNameLength.ipo: the name of curve 0 has a negative length (-1)"},
    {"interpolationSeven",
     [](IpoWriter& f) {
         f.Count(1);
         IpoCurveRecord curve = Fade();
         curve.interpolation = 7;
         f.Curve(curve);
     },
     "data/interpolationSeven.ipo: interpolation code 7 is not 0 (Constant), 1 (Linear) or 2 (Bezier)"},
    {"extrapolationZero",
     [](IpoWriter& f) {
         f.Count(1);
         IpoCurveRecord curve = Fade();
         curve.extrapolation = 0;
         f.Curve(curve);
     },
     "data/extrapolationZero.ipo: extrapolation code 0 is not 3 (Constant), 4 (Cyclic) or 5 "
     "(Cyclic_extrapolation)"},
    {"keysCut",
     [](IpoWriter& f) {
         IpoWriter whole;
         whole.Count(1);
         whole.Curve(Fade());
         f.Raw().Bytes(whole.Data().data() + 4, whole.Data().size() - 4 - 10);
     },
     "data/keysCut.ipo: the key count of curve 0 \"fade\" is 2, more than the file holds (38 bytes left at "
     "byte 28)"},
    {"secondCurveMissing",
     [](IpoWriter& f) {
         f.Count(2);
         f.Curve(Fade());
     },
     "data/secondCurveMissing.ipo: file ends inside the name of curve 1 (4 bytes needed at byte 76, 0 left)"},
};

} // namespace

TEST(IpoCatalogue, EveryMalformedCurveFileIsRefusedWithItsReason) {
    for (const CurveCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ScopedLogDirectory dir;
        const std::string file = std::string("data/") + c.name + ".ipo";
        if (c.write) {
            IpoWriter writer(c.magic);
            c.write(writer);
            writer.Save(file);
        }
        EXPECT_THROW(engine::gfx::ReadIpoFile(file), engine::core::Exception);
        ExpectReport(LastFailure(dir.CloseAndRead()), file, "", c.error);
    }
}

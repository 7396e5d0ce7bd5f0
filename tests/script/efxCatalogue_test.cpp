// The catalogue of malformed material scripts, checked in under data/malformed/: each is refused with
// one ERROR row; where the row the format prescribes leaves the file out, the WARNING row before it
// names the file and the place in it. Scripts reach nothing outside the interpreter and their budgets.
#include "scriptFixture.h"
#include "support/malformedCatalogue.h"

#include <filesystem>

using namespace quorvel::test;

namespace {

struct ScriptCase {
    const char* name;
    const char* warning;
    const char* error;
};

const ScriptCase kCases[] = {
    {"syntaxError", "", "Error in lua script: data/syntaxError.efx:2: unexpected symbol near '<eof>'"},
    {"runtimeError", "",
     "Error in lua script: data/runtimeError.efx:2: attempt to perform arithmetic on a nil value"},
    {"osLibrary", "",
     "Error in lua script: data/osLibrary.efx:3: attempt to index global 'os' (a nil value)"},
    {"ioLibrary", "",
     "Error in lua script: data/ioLibrary.efx:2: attempt to index global 'io' (a nil value)"},
    {"loadstring", "",
     "Error in lua script: data/loadstring.efx:1: attempt to call global 'loadstring' (a nil value)"},
    {"require", "",
     "Error in lua script: data/require.efx:1: attempt to call global 'require' (a nil value)"},
    {"dofile", "", "Error in lua script: data/dofile.efx:1: attempt to call global 'dofile' (a nil value)"},
    {"endlessLoop", "",
     "Error in lua script: data/endlessLoop.efx:2: instruction limit of 10000000 exceeded"},
    {"growingString", "",
     "Error in lua script: data/growingString.efx: memory limit of 33554432 bytes exceeded"},
    {"sharedTables", "",
     "Error in lua script: data/sharedTables.efx: effect[1].pass[1].params[19998]: read limit of 100000 "
     "table elements exceeded"},
    {"effectNotTable", "data/effectNotTable.efx: effect must be a table, not a number",
     "Effect must be a table"},
    {"candidateNotTable", "", "data/candidateNotTable.efx: effect[1] must be a table, not a number"},
    {"passNotTable", "data/passNotTable.efx: effect[1].pass must be a table, not a string",
     "Pass must be a table"},
    {"paramsNotTable", "data/paramsNotTable.efx: effect[1].pass[1].params must be a table, not a string",
     "Params must be a table"},
    {"descriptionNotTable",
     "data/descriptionNotTable.efx: effect[1].pass[1].params[1] must be a table, not a string",
     "Parameter description must be a table"},
    {"float3NotTable",
     "data/float3NotTable.efx: effect[1].pass[1].params[1][3] must be a table, not a number",
     "float3 value must be a table"},
    {"unknownParameterType",
     "data/unknownParameterType.efx: effect[1].pass[1].params[1][1]: \"matrix\" is not a parameter type",
     "Unsupported parameter type( supported: int, float, bool, tex, target )"},
    {"streamsNotTable", "data/streamsNotTable.efx: effect[1].pass[1].streams must be a table, not a string",
     "Streams must be a table"},
    {"unknownStream", "data/unknownStream.efx: effect[1].pass[1].streams[2]: \"colour\" is not a stream",
     "Unsupported stream type ( supported: pos, normal, tex, tbn )"},
    {"fxHoldsTable", "",
     "data/fxHoldsTable.efx: effect[1].pass[1].fx must be a string or a number, not a table"},
    {"textureOutsideData", "",
     "data/textureOutsideData.efx: effect[1].pass[1].params[1][3]: \"../../etc/passwd\" lies outside the "
     "data folder"},
    {"effectFileOutsideData", "",
     "data/effectFileOutsideData.efx: effect[1].pass[1].fx: \"data/fx/../../../etc/passwd.fx\" lies outside "
     "the data folder"},
};

} // namespace

TEST(EfxCatalogue, EveryMalformedScriptIsRefusedWithItsReason) {
    const std::filesystem::path folder = std::filesystem::path(QUORVEL_TEST_DATA) / "malformed";
    for (const ScriptCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ScopedLogDirectory dir;
        const std::string file = std::string("data/") + c.name + ".efx";
        std::filesystem::copy_file(folder / (std::string(c.name) + ".efx"), file);
        RecordingResources resources;
        EXPECT_THROW(engine::gfx::ParseMaterialScript(file, resources), engine::core::Exception);
        ExpectReport(LastFailure(dir.CloseAndRead()), file, c.warning, c.error);
    }
}

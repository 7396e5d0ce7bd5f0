// talvo-build: the content compiler.
//   talvo-build CONTENT_DIR DATA_DIR   compiles the content folder into the data folder
//   talvo-build mesh IN.obj OUT.tvo    converts one Wavefront OBJ file into a mesh
// Errors go to standard error as "file:line: what is wrong" (or "file: field what is wrong" for a
// field of a returned table); the exit status is then 1 and no file of data/ has changed.
#include "build.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    using namespace quorvel::build;
    try {
        if (argc == 4 && std::string(argv[1]) == "mesh") {
            ConvertObj(argv[2], argv[3]);
        } else if (argc == 3) {
            WriteOutputs(CompileContent(argv[1]), argv[2]);
        } else {
            std::fprintf(stderr, "usage: talvo-build CONTENT_DIR DATA_DIR\n"
                                 "       talvo-build mesh IN.obj OUT.tvo\n");
            return 2;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "talvo-build: %s\n", error.what());
        return 1;
    }
    return 0;
}

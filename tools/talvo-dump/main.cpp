// talvo-dump: prints the engine's binary files (.ipo curves, .tvo meshes, .demo scenes) as readable
// text. Each format has its describer; the file extension picks it. The exit status is 1 when a file
// cannot be read, has an unknown extension or turns out broken.
#include "formats/demoDescribe.h"
#include "formats/tvoDescribe.h"
#include "ipoDump.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace {

using Describer = std::string (*)(std::span<const std::uint8_t>);

const std::map<std::string, Describer> kDescribers = {
    {".ipo", quorvel::dump::DescribeIpo},
    {".tvo", quorvel::formats::DescribeTVO},
    {".demo", quorvel::formats::DescribeDemo},
};

std::string Extension(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return path.substr(dot);
}

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return false;
    // Reading a folder throws instead of failing quietly.
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    } catch (const std::ios_base::failure&) {
        return false;
    }
    return !in.bad();
}

// Prints one file; false when it could not be described whole.
bool Dump(const std::string& path) {
    const auto describer = kDescribers.find(Extension(path));
    if (describer == kDescribers.end()) {
        std::cerr << path << ": unknown file type (expected .ipo, .tvo or .demo)\n";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (!ReadWhole(path, bytes)) {
        std::cerr << path << ": cannot be read\n";
        return false;
    }
    const std::string text = describer->second(bytes);
    std::cout << path << ": " << text;
    // The describers end a broken file with a line that starts with "! ".
    return !text.starts_with("! ") && text.find("\n! ") == std::string::npos;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: talvo-dump FILE...\n";
        return 2;
    }
    bool whole = true;
    for (int i = 1; i < argc; ++i)
        whole = Dump(argv[i]) && whole;
    return whole ? 0 : 1;
}

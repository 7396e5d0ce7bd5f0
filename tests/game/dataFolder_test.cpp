// Where the program finds its data: beside it in a build folder, ../share/quorvel/data installed, or
// --data; it works from the folder holding the data folder, and what the options name stays where the
// caller meant it.
#include "dataFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// A fresh folder to lay trees out in; the working folder is put back afterwards.
class DataFolder : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-data-XXXXXX";
        root = fs::canonical(mkdtemp(pattern));
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(root);
    }

    bool Enter(quorvel::LaunchOptions& options, const fs::path& program) {
        std::ostringstream err;
        const bool entered = quorvel::EnterDataFolder(options, program, err);
        message = err.str();
        return entered;
    }

    const fs::path previous = fs::current_path();
    fs::path root;
    std::string message;
};

TEST_F(DataFolder, TakesTheDataBesideTheProgramBeforeTheInstalledOneAndNamesBothWhereNeitherIs) {
    fs::create_directories(root / "bin");
    quorvel::LaunchOptions options;
    ASSERT_FALSE(Enter(options, root / "bin"));
    EXPECT_NE(message.find((root / "bin" / "data").string()), std::string::npos) << message;
    EXPECT_NE(message.find((root / "share" / "quorvel" / "data").string()), std::string::npos) << message;
    EXPECT_EQ(fs::current_path(), previous);

    fs::create_directories(root / "share" / "quorvel" / "data");
    ASSERT_TRUE(Enter(options, root / "bin")) << message;
    EXPECT_EQ(fs::current_path(), root / "share" / "quorvel");

    fs::create_directories(root / "bin" / "data");
    ASSERT_TRUE(Enter(options, root / "bin")) << message;
    EXPECT_EQ(fs::current_path(), root / "bin");
}

TEST_F(DataFolder, RefusesADataOptionThatIsNoFolderNamedData) {
    fs::create_directories(root / "content");
    quorvel::LaunchOptions options;
    options.dataFolder = (root / "content").string();
    EXPECT_FALSE(Enter(options, root));
    EXPECT_NE(message.find("must be named data"), std::string::npos) << message;
    options.dataFolder = (root / "missing" / "data").string();
    EXPECT_FALSE(Enter(options, root));
    EXPECT_NE(message.find("is not a folder"), std::string::npos) << message;
}

TEST_F(DataFolder, NamesGivenRelativeToTheCallersFolderStayThere) {
    fs::create_directories(root / "caller");
    fs::create_directories(root / "demo" / "data");
    fs::current_path(root / "caller");
    quorvel::LaunchOptions options;
    options.dataFolder = "../demo/data/";
    options.captureOutput = "frames";
    options.jsonPath = "figures.json";
    options.watchFolder = "../content";
    ASSERT_TRUE(Enter(options, root)) << message;
    EXPECT_EQ(fs::current_path(), root / "demo");
    EXPECT_EQ(*options.captureOutput, (root / "caller" / "frames").string());
    EXPECT_EQ(*options.jsonPath, (root / "caller" / "figures.json").string());
    EXPECT_EQ(fs::path(*options.watchFolder).lexically_normal(), root / "content");
}

} // namespace

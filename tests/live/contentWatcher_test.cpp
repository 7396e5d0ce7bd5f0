// The content folder's events as live editing sees them, through the real inotify watch: a file still
// open for writing holds the batch back, but not for ever; folders made later are watched, and the
// files editors keep beside their work are not.
#include "live/contentWatcher.h"
#include "live/saveBatcher.h"

#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace engine::live;

namespace {

namespace fs = std::filesystem;

class ContentWatching : public ::testing::Test {
protected:
    // Reads the watch and notes its events at `now`.
    void Gather(double now) {
        for (const FileEvent& event : watcher.Read())
            batcher.Note(event.path.string(), event.stillWriting, now);
    }

    quorvel::test::ScopedLogDirectory folder;
    bool made = fs::create_directories("content/fx");
    ContentWatcher watcher{"content"};
    SaveBatcher batcher;
};

TEST_F(ContentWatching, AFileStillOpenForWritingHoldsTheBatchBack) {
    std::ofstream writer("content/fx/a.fx");
    writer << "technique" << std::flush;
    Gather(0.0);
    EXPECT_FALSE(batcher.Due(1.9));
    // A writer that keeps the file open without writing is not waited for for ever.
    EXPECT_TRUE(batcher.Due(2.0));

    writer << " Flat" << std::flush;
    Gather(3.0);
    EXPECT_FALSE(batcher.Due(3.5));
    writer.close();
    Gather(3.6);
    EXPECT_TRUE(batcher.Due(3.85));
}

TEST_F(ContentWatching, FoldersMadeLaterAreWatchedAndEditorsOwnFilesAreNot) {
    fs::create_directories("content/scenes/new");
    std::ofstream("content/scenes/new/a.lua") << "return {}";
    std::ofstream("content/fx/.a.fx.swp") << "swap";
    std::ofstream("content/fx/a.fx~") << "backup";
    Gather(0.0);
    std::ofstream("content/scenes/new/b.lua") << "return {}";
    Gather(0.0);
    EXPECT_EQ(batcher.Take(), (std::set<std::string>{"content/scenes", "content/scenes/new/a.lua",
                                                     "content/scenes/new/b.lua"}));
}

} // namespace

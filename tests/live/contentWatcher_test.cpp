// The content folder's events as live editing sees them, through the real inotify watch: a file still
// open for writing holds the batch back, but not for ever; folders made later are watched, and the
// files editors keep beside their work are not; folders moved or removed and links out of the folder
// leave no stale or outside watches; where inotify is refused, polling finds the same saves.
#include "live/contentWatcher.h"
#include "live/saveBatcher.h"

#include "core/logging.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <memory>

using namespace engine::live;

namespace {

namespace fs = std::filesystem;

class ContentWatching : public ::testing::Test {
protected:
    // Reads the watch and notes its events at `now`.
    void Gather(double now) {
        for (const FileEvent& event : watcher.Read(now))
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

TEST_F(ContentWatching, FoldersMovedOrRemovedAndLinksOutLeaveNoStaleWatches) {
    fs::create_directories("content/scenes/old");
    fs::create_directories("elsewhere");
    fs::create_directory_symlink(fs::absolute("elsewhere"), "content/linked");
    // Watched from before the moves: the watcher must drop or rename these watches itself.
    ContentWatcher late{"content"};
    fs::rename("content/scenes/old", "content/scenes/new");
    fs::rename("content/scenes/new", "away");
    fs::create_directories("content/scenes/gone");
    late.Read(0.0);
    fs::remove_all("content/scenes/gone");
    late.Read(0.0);

    // Saves outside the folder, through the moved folder or the link, are not content.
    std::ofstream("away/a.lua") << "return {}";
    std::ofstream("elsewhere/b.lua") << "return {}";
    std::ofstream("content/scenes/c.lua") << "return {}";
    std::set<std::string> paths;
    for (const FileEvent& event : late.Read(0.0))
        paths.insert(event.path.string());
    EXPECT_EQ(paths, (std::set<std::string>{"content/scenes/c.lua"}));
    EXPECT_FALSE(late.Polling());
}

TEST_F(ContentWatching, WhereInotifyIsRefusedTheWatcherSaysWhichLimitAndPolls) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer's own checks open files, which this test leaves no descriptor for";
#endif
    // No descriptor left for an inotify instance: the lowest free number becomes the limit. The log is
    // opened and written to before: the undefined-behaviour sanitizer checks the log's type on its first
    // call through a pipe, which it could not open later.
    LOG_MESSAGE("watching content with no descriptor left");
    const int lowest = dup(0);
    close(lowest);
    rlimit before{};
    getrlimit(RLIMIT_NOFILE, &before);
    rlimit tight = before;
    tight.rlim_cur = static_cast<rlim_t>(lowest);
    setrlimit(RLIMIT_NOFILE, &tight);
    auto polled = std::make_unique<ContentWatcher>("content");
    setrlimit(RLIMIT_NOFILE, &before);
    ASSERT_TRUE(polled->Polling());

    EXPECT_TRUE(polled->Read(0.0).empty());
    std::ofstream("content/fx/a.fx") << "technique";
    // Not looked at again before the interval has passed.
    EXPECT_TRUE(polled->Read(0.1).empty());
    const std::vector<FileEvent> written = polled->Read(0.5);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].path, "content/fx/a.fx");
    EXPECT_FALSE(written[0].stillWriting);

    // The folder removed and made again is found again.
    fs::remove_all("content");
    EXPECT_EQ(polled->Read(1.0).size(), 2u);
    fs::create_directories("content/fx");
    std::ofstream("content/fx/b.fx") << "technique";
    EXPECT_EQ(polled->Read(1.5).size(), 2u);

    const std::vector<std::string> warnings = quorvel::test::Rows(folder.CloseAndRead(), "WARNING");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("Cannot watch content through inotify: the system's limit of "),
              std::string::npos)
        << warnings[0];
    EXPECT_NE(warnings[0].find("(fs.inotify.max_user_instances)"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("every 0.5 s"), std::string::npos) << warnings[0];
}

TEST_F(ContentWatching, TheFolderRemovedWhileWatchedIsFoundWhenMadeAgain) {
    std::ofstream("content/fx/a.fx") << "technique";
    Gather(0.0);
    batcher.Take();
    fs::remove_all("content");
    Gather(1.0);
    EXPECT_TRUE(watcher.Polling());
    EXPECT_EQ(batcher.Take().count("content"), 1u);
    fs::create_directories("content/fx");
    std::ofstream("content/fx/a.fx") << "technique";
    Gather(2.0);
    EXPECT_EQ(batcher.Take(), (std::set<std::string>{"content/fx", "content/fx/a.fx"}));
}

} // namespace

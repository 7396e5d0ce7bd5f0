#include "core/kernel.h"
#include "core/logging.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using engine::core::Kernel;
using engine::core::Module;
using quorvel::test::CountRows;
using quorvel::test::MessageBoxCapture;
using quorvel::test::ScopedLogDirectory;

namespace {

// Writes "<name>.<slot>" into a shared journal and runs optional hooks.
class JournalModule : public Module {
public:
    JournalModule(std::string tag, int order, std::vector<std::string>& journal)
        : tag(std::move(tag)), journal(journal) {
        priority = order;
    }
    bool Start() override {
        journal.push_back(tag + ".Start");
        if (onStart)
            onStart();
        return true;
    }
    void Update() override {
        journal.push_back(tag + ".Update");
        if (onUpdate)
            onUpdate();
    }
    void Stop() override {
        journal.push_back(tag + ".Stop");
        if (onStop)
            onStop();
    }

    std::function<void()> onStart, onUpdate, onStop;

private:
    std::string tag;
    std::vector<std::string>& journal;
};

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override { kernel = new Kernel(); }
    void TearDown() override { delete kernel; }

    // Adds a module that quits after `passes` passes at the end of every pass.
    JournalModule& QuitAfter(int passes) {
        auto& m = Make("quit", 1 << 30);
        m.onUpdate = [this, passes, count = 0]() mutable {
            if (++count == passes)
                kernel->Quit();
        };
        return m;
    }
    JournalModule& Make(const std::string& tag, int order) {
        modules.push_back(std::make_unique<JournalModule>(tag, order, journal));
        return *modules.back();
    }

    ScopedLogDirectory logDir;
    MessageBoxCapture boxes;
    Kernel* kernel = nullptr;
    std::vector<std::string> journal;
    std::vector<std::unique_ptr<JournalModule>> modules;
};

void Fail(const std::string& text) {
    LOG_ERROR(text);
}

} // namespace

TEST_F(KernelTest, UpdatesInPriorityOrderAndEqualPrioritiesInRegistrationOrder) {
    auto& input = Make("Input", 7000);
    auto& screen = Make("Screen", 10);
    auto& curves = Make("Curves", 10000);
    auto& renderer = Make("Renderer", 6000);
    auto& timeline = Make("Timeline", 10000);
    auto& timer = Make("Timer", 50);
    for (auto* m : {&screen, &renderer, &input, &curves, &timeline, &timer})
        kernel->AddModule(m, static_cast<int>(journal.size()));
    kernel->AddModule(&QuitAfter(1), 99);
    journal.clear();
    kernel->Run();
    const std::vector<std::string> expected = {
        "Screen.Update",   "Timer.Update", "Renderer.Update", "Input.Update", "Curves.Update",
        "Timeline.Update", "quit.Update",  "Screen.Stop",     "Timer.Stop",   "Renderer.Stop",
        "Input.Stop",      "Curves.Stop",  "Timeline.Stop",   "quit.Stop"};
    EXPECT_EQ(journal, expected);
    const std::string log = logDir.CloseAndRead();
    EXPECT_EQ(CountRows(log, "MESSAGE", "Adding new module ID: 0"), 1);
    EXPECT_EQ(CountRows(log, "MESSAGE", "Module sucessfully started"), 7);
    EXPECT_EQ(CountRows(log, "MESSAGE", "Starting main loop"), 1);
    EXPECT_EQ(CountRows(log, "MESSAGE", "Quit called"), 1);
    EXPECT_EQ(CountRows(log, "MESSAGE", "Killing all modules"), 1);
}

TEST_F(KernelTest, QuitInsideAPassLetsTheRestOfThePassRun) {
    auto& first = Make("first", 1);
    first.onUpdate = [this] { kernel->Quit(); };
    kernel->AddModule(&first, 1);
    kernel->AddModule(&Make("second", 2), 2);
    journal.clear();
    kernel->Run();
    EXPECT_EQ(journal,
              (std::vector<std::string>{"first.Update", "second.Update", "first.Stop", "second.Stop"}));
}

TEST_F(KernelTest, QuitBeforeRunStopsEveryModuleWithoutAnyUpdate) {
    kernel->AddModule(&Make("a", 1), 1);
    kernel->AddModule(&Make("b", 2), 2);
    kernel->Quit();
    journal.clear();
    kernel->Run();
    EXPECT_EQ(journal, (std::vector<std::string>{"a.Stop", "b.Stop"}));
}

TEST_F(KernelTest, FailingStartIsReportedOnceAndTheModuleStillRuns) {
    auto& broken = Make("broken", 5);
    broken.onStart = [] { Fail("cannot start"); };
    EXPECT_TRUE(kernel->AddModule(&broken, 3));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, L"cannot start");
    EXPECT_NE(boxes.boxes[0].caption.find(L"kernel_test.cpp:"), std::wstring::npos);
    EXPECT_EQ(boxes.boxes[0].owner, engine::platform::MessageBoxOwner::MainWindow);
    EXPECT_EQ(kernel->GetModule(3), &broken);
    kernel->AddModule(&QuitAfter(2), 4);
    journal.clear();
    kernel->Run();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "broken.Update"), 2);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "broken.Stop"), 1);
    const std::string log = logDir.CloseAndRead();
    EXPECT_EQ(CountRows(log, "WARNING", "Failed to start module"), 1);
    EXPECT_EQ(CountRows(log, "MESSAGE", "Module sucessfully started"), 1);
}

TEST_F(KernelTest, ThrowingUpdateIsReportedEveryPassAndSkipsTheRestOfThatPass) {
    auto& broken = Make("broken", 1);
    int passes = 0;
    broken.onUpdate = [&passes, this] {
        if (++passes == 4)
            kernel->Quit();
        Fail("bad frame");
    };
    kernel->AddModule(&broken, 1);
    kernel->AddModule(&Make("after", 3), 3);
    kernel->Run();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "after.Update"), 0);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "after.Stop"), 1);
    ASSERT_EQ(boxes.boxes.size(), 4u);
    EXPECT_EQ(boxes.boxes[0].owner, engine::platform::MessageBoxOwner::None);
    EXPECT_EQ(boxes.boxes[0].text, L"bad frame");
    const std::string log = logDir.CloseAndRead();
    const std::string warning =
        "Caught exception in main game loop: \"bad frame\" in tests/core/kernel_test.cpp:";
    int warnings = 0;
    for (std::size_t at = log.find(warning); at != std::string::npos; at = log.find(warning, at + 1))
        ++warnings;
    EXPECT_EQ(warnings, 4);
}

TEST_F(KernelTest, StandardExceptionsAreReportedLikeEngineOnes) {
    auto& broken = Make("broken", 1);
    broken.onStart = [] { throw std::runtime_error("bad start"); };
    broken.onUpdate = [this] {
        kernel->Quit();
        throw std::out_of_range("bad index");
    };
    kernel->AddModule(&broken, 1);
    kernel->Run();
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, L"bad start");
    EXPECT_EQ(boxes.boxes[1].text, L"bad index");
    const std::string log = logDir.CloseAndRead();
    EXPECT_EQ(CountRows(log, "WARNING", "Failed to start module"), 1);
    EXPECT_NE(log.find("Caught exception in main game loop: \"bad index\""), std::string::npos);
}

TEST_F(KernelTest, DisabledModuleIsRetiredButStillStopped) {
    auto& sleeper = Make("sleeper", 1);
    sleeper.enabled = false;
    kernel->AddModule(&sleeper, 1);
    kernel->AddModule(&Make("awake", 2), 2);
    kernel->AddModule(&QuitAfter(3), 3);
    journal.clear();
    kernel->Run();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "sleeper.Update"), 0);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "awake.Update"), 3);
    // Retired modules are stopped after the active ones.
    EXPECT_EQ(journal.back(), "sleeper.Stop");
}

TEST_F(KernelTest, ThrowingStopStillStopsEveryModuleAndEndsTheLoop) {
    auto& broken = Make("broken", 1);
    broken.onStop = [] { Fail("cannot stop"); };
    kernel->AddModule(&broken, 1);
    kernel->AddModule(&Make("other", 2), 2);
    kernel->Quit();
    journal.clear();
    kernel->Run();
    EXPECT_EQ(journal, (std::vector<std::string>{"broken.Stop", "other.Stop"}));
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(KernelTest, LookupByIdKeepsTheFirstRegistrationAndAnswersNullForUnknownIds) {
    auto& a = Make("a", 1);
    auto& b = Make("b", 2);
    kernel->AddModule(&a, 7);
    kernel->AddModule(&b, 7);
    EXPECT_EQ(kernel->GetModule(7), &a);
    EXPECT_EQ(kernel->GetModule(8), nullptr);
    kernel->Quit();
    kernel->Run();
    // Both were registered and both are stopped; the map survives the kill step.
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "b.Stop"), 1);
    EXPECT_EQ(kernel->GetModule(7), &a);
}

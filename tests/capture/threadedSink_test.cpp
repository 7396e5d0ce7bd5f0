// The capture's writing thread: what it is given reaches the wrapped sink complete and in order, even
// when the caller reuses its buffers at once, and a failure there is raised by the caller's next call
// and stops the rest, so nothing is written after a frame that was lost.
#include "capture/threadedSink.h"
#include "support/logCapture.h"

#include <engine/exception.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using engine::capture::FrameSink;
using engine::capture::ThreadedSink;
using quorvel::test::ScopedLogDirectory;

namespace {

struct Recorded {
    std::vector<std::string> calls;
    bool finished = false;
};

class RecordingSink final : public FrameSink {
public:
    RecordingSink(Recorded& recorded, int failAtPicture) : recorded(recorded), failAtPicture(failAtPicture) {}
    void Picture(const std::vector<std::uint8_t>& rgba, int width, int height) override {
        if (++pictures == failAtPicture)
            throw engine::core::Exception(L"disk full", L"test");
        recorded.calls.push_back("picture " + std::to_string(rgba.front()) + " " +
                                 std::to_string(rgba.size()) + " " + std::to_string(width) + "x" +
                                 std::to_string(height));
    }
    void Sound(const std::vector<float>& interleaved) override {
        recorded.calls.push_back("sound " + std::to_string(static_cast<int>(interleaved.front())));
    }
    void Finish() override { recorded.finished = true; }

private:
    Recorded& recorded;
    int failAtPicture;
    int pictures = 0;
};

TEST(ThreadedSink, EveryFrameArrivesInOrderAndAFailureStopsTheCaptureAtTheNextCall) {
    ScopedLogDirectory folder;
    Recorded complete;
    {
        ThreadedSink sink(std::make_unique<RecordingSink>(complete, 0));
        std::vector<std::uint8_t> picture(8);
        std::vector<float> sound(2);
        for (int frame = 1; frame <= 40; ++frame) {
            picture.assign(8, static_cast<std::uint8_t>(frame));
            sound.assign(2, static_cast<float>(frame));
            sink.Picture(picture, 2, 1);
            sink.Sound(sound);
        }
        sink.Finish();
    }
    ASSERT_EQ(complete.calls.size(), 80u);
    for (int frame = 1; frame <= 40; ++frame) {
        EXPECT_EQ(complete.calls[2 * (frame - 1)], "picture " + std::to_string(frame) + " 8 2x1");
        EXPECT_EQ(complete.calls[2 * frame - 1], "sound " + std::to_string(frame));
    }
    EXPECT_TRUE(complete.finished);

    Recorded failed;
    {
        ThreadedSink sink(std::make_unique<RecordingSink>(failed, 3));
        const std::vector<std::uint8_t> picture(8, 1);
        const std::vector<float> sound(2, 1.0f);
        bool raised = false;
        for (int frame = 1; frame <= 40 && !raised; ++frame) {
            try {
                sink.Picture(picture, 2, 1);
                sink.Sound(sound);
            } catch (const engine::core::Exception& error) {
                raised = true;
                EXPECT_EQ(error.GetText(), L"disk full");
            }
        }
        if (!raised) {
            EXPECT_THROW(sink.Finish(), engine::core::Exception);
        }
    }
    EXPECT_FALSE(failed.finished);
    // Two pictures and their sounds, then the third picture failed and nothing followed it.
    EXPECT_EQ(failed.calls.size(), 4u);
}

} // namespace

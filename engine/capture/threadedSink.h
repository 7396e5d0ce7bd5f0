// A sink that does its work on a thread of its own: pictures and sound are copied into a bounded
// queue and handed, in order, to the sink it wraps, so that colour conversion, encoding and writing
// overlap the drawing of the next frames. When the queue is full the caller waits (the capture never
// holds more than kQueuedItems pictures in memory). A failure on the thread is raised by the next call.
#pragma once

#include "capture/frameSink.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace engine::capture {

class ThreadedSink final : public FrameSink {
public:
    // Pictures and sounds waiting, together.
    static constexpr std::size_t kQueuedItems = 6;

    explicit ThreadedSink(std::unique_ptr<FrameSink> inner);
    // Without Finish, what is queued is dropped and the wrapped sink removes what it wrote.
    ~ThreadedSink() override;

    void Picture(const std::vector<std::uint8_t>& rgba, int width, int height) override;
    void Sound(const std::vector<float>& interleaved) override;
    // Waits for the queue to empty, then completes the wrapped sink on the calling thread.
    void Finish() override;

private:
    struct Item {
        bool picture = false;
        std::vector<std::uint8_t> rgba;
        int width = 0, height = 0;
        std::vector<float> sound;
    };

    // A free item (its buffers kept from an earlier frame) once the queue has room; raises a failure.
    Item TakeFreeItem(std::unique_lock<std::mutex>& lock);
    void Push(Item item, std::unique_lock<std::mutex>& lock);
    void Run();

    std::unique_ptr<FrameSink> inner;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Item> queue;
    std::vector<Item> spare;
    bool working = false;
    bool stopping = false;
    std::exception_ptr failure;
    std::thread worker;
};

} // namespace engine::capture

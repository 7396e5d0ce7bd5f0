#include "capture/threadedSink.h"

#include <utility>

namespace engine::capture {

ThreadedSink::ThreadedSink(std::unique_ptr<FrameSink> inner)
    : inner(std::move(inner)), worker([this] { Run(); }) {}

ThreadedSink::~ThreadedSink() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        queue.clear();
    }
    changed.notify_all();
    worker.join();
}

ThreadedSink::Item ThreadedSink::TakeFreeItem(std::unique_lock<std::mutex>& lock) {
    changed.wait(lock, [this] { return failure || queue.size() < kQueuedItems; });
    if (failure)
        std::rethrow_exception(failure);
    if (spare.empty())
        return {};
    Item item = std::move(spare.back());
    spare.pop_back();
    return item;
}

void ThreadedSink::Push(Item item, std::unique_lock<std::mutex>& lock) {
    queue.push_back(std::move(item));
    lock.unlock();
    changed.notify_all();
}

void ThreadedSink::Picture(const std::vector<std::uint8_t>& rgba, int width, int height) {
    std::unique_lock<std::mutex> lock(mutex);
    Item item = TakeFreeItem(lock);
    // The copy is made outside the lock so that the thread can go on meanwhile.
    lock.unlock();
    item.picture = true;
    item.rgba.assign(rgba.begin(), rgba.end());
    item.width = width;
    item.height = height;
    lock.lock();
    Push(std::move(item), lock);
}

void ThreadedSink::Sound(const std::vector<float>& interleaved) {
    std::unique_lock<std::mutex> lock(mutex);
    Item item = TakeFreeItem(lock);
    item.picture = false;
    item.sound.assign(interleaved.begin(), interleaved.end());
    Push(std::move(item), lock);
}

void ThreadedSink::Finish() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return failure || (queue.empty() && !working); });
    if (failure)
        std::rethrow_exception(failure);
    lock.unlock();
    inner->Finish();
}

void ThreadedSink::Run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || !queue.empty(); });
        if (stopping)
            return;
        Item item = std::move(queue.front());
        queue.pop_front();
        working = true;
        lock.unlock();
        std::exception_ptr error;
        try {
            if (item.picture)
                inner->Picture(item.rgba, item.width, item.height);
            else
                inner->Sound(item.sound);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        working = false;
        spare.push_back(std::move(item));
        if (error) {
            failure = error;
            queue.clear();
        }
        changed.notify_all();
    }
}

} // namespace engine::capture

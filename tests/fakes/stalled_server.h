#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A server that stops answering until it is released; it gives up by itself after a while, so
// that code which waits on it fails as slow instead of never ending. Shared with the queries'
// helper threads, which may outlive the test.
struct StalledServer
{
    std::mutex mutex;
    std::condition_variable released;
    bool stalled = true;
    std::atomic<int> calls = 0;

    void stallOn()
    {
        ++calls;
        std::unique_lock lock(mutex);
        released.wait_for(lock, std::chrono::seconds(5), [&] { return !stalled; });
    }
    void release()
    {
        std::lock_guard lock(mutex);
        stalled = false;
        released.notify_all();
    }
};

// Waits for a condition that other threads or processes bring about, five seconds at most.
inline bool Eventually(const std::function<bool()> &condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

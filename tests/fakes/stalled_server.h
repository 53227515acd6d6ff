#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

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

#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// Host queries that may never return (a dead server, a stuck FUSE daemon), each run on a helper
// thread of its own while the caller waits for it no longer than a deadline. A query that has
// not returned blocks its key: asking again starts nothing until it does, so a stuck volume
// costs one blocked thread, not one more per refresh.
template <typename Answer> class BoundedQueries
{
    struct Query
    {
        std::mutex mutex;
        std::condition_variable answered;
        bool done = false;
        Answer answer{};
    };

public:
    using Clock = std::chrono::steady_clock;
    using Ticket = std::shared_ptr<Query>;

    // Starts `ask` on a helper thread, unless the query last started under `key` is still
    // running: then nothing. `ask` may outlive the caller and everything it knows, so it holds
    // its own copies of all it uses.
    Ticket start(const std::string &key, std::function<Answer()> ask)
    {
        if (running(key))
            return nullptr;
        auto query = std::make_shared<Query>();
        std::thread([query, ask = std::move(ask)] {
            Answer answer = ask();
            std::lock_guard lock(query->mutex);
            query->answer = std::move(answer);
            query->done = true;
            query->answered.notify_all();
        }).detach();
        started[key] = query;
        return query;
    }

    // The query's answer if it comes by the deadline; nothing for no query at all.
    static std::optional<Answer> wait(const Ticket &query, Clock::time_point deadline)
    {
        if (!query)
            return std::nullopt;
        std::unique_lock lock(query->mutex);
        if (!query->answered.wait_until(lock, deadline, [&] { return query->done; }))
            return std::nullopt;
        return query->answer;
    }

    // Whether the query last started under `key` has not returned yet.
    bool running(const std::string &key)
    {
        const auto it = started.find(key);
        if (it == started.end())
            return false;
        if (!isDone(*it->second))
            return true;
        started.erase(it);
        return false;
    }

    // Forgets the queries that have returned, so that keys of volumes long gone do not pile up.
    void prune()
    {
        std::erase_if(started, [](const auto &item) { return isDone(*item.second); });
    }

private:
    static bool isDone(Query &query)
    {
        std::lock_guard lock(query.mutex);
        return query.done;
    }

    std::map<std::string, Ticket> started;
};

#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// Host queries that may never return (a dead server, a stuck FUSE daemon), each run on a helper
// thread while the caller waits for it no longer than a deadline. A query that has not returned
// blocks its key (the filesystem it asks): asking again starts nothing until it does, so a stuck
// volume holds one helper thread, never one more per refresh. A query whose caller stopped
// waiting for it (`abandon`) and that still runs is stuck; while `cap` queries are, a new one
// fails at once, so that volumes remounted over and over cannot pile up threads. Helpers that are
// done wait a while for the next query instead of ending: a live network volume asked at every
// refresh costs a hand-over, not a new thread. Used from one thread; only the helpers run
// elsewhere.
template <typename Answer> class BoundedQueries
{
    struct Query
    {
        std::mutex mutex;
        std::condition_variable answered;
        bool done = false;
        // Nothing where the query threw: no answer.
        std::optional<Answer> answer;
        // Its caller no longer waits for it; only the owning thread reads or writes this.
        bool abandoned = false;
    };

    // Shared with the helper threads, which may outlive this object while a query is stuck.
    struct Helpers
    {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> jobs;
        size_t idle = 0;
        bool closing = false;
    };

public:
    using Clock = std::chrono::steady_clock;
    using Ticket = std::shared_ptr<Query>;

    explicit BoundedQueries(size_t cap = 8) : cap(cap) {}
    ~BoundedQueries()
    {
        std::lock_guard lock(helpers->mutex);
        helpers->closing = true;
        helpers->wake.notify_all();
    }
    BoundedQueries(const BoundedQueries &) = delete;
    BoundedQueries &operator=(const BoundedQueries &) = delete;

    // Starts `ask` on a helper thread, unless the query last started under `key` is still
    // running or `cap` queries are stuck: then nothing. `ask` may outlive the caller and
    // everything it knows, so it holds its own copies of all it uses.
    Ticket start(const std::string &key, std::function<Answer()> ask)
    {
        if (running(key) || stuck() >= cap)
            return nullptr;
        auto query = std::make_shared<Query>();
        post([query, ask = std::move(ask)] {
            std::optional<Answer> answer;
            try {
                answer = ask();
            } catch (...) {
                // A query that throws has no answer; the helper goes on with the next one.
            }
            std::lock_guard lock(query->mutex);
            query->answer = std::move(answer);
            query->done = true;
            query->answered.notify_all();
        });
        started[key] = query;
        return query;
    }

    // The query's answer if it comes by the deadline; nothing for no query at all, or for one
    // that threw.
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

    // Whether the query has returned; no query at all has nothing to wait for.
    static bool finished(const Ticket &query) { return !query || isDone(*query); }

    // The caller waits for the query no longer: if it has not returned, it is stuck.
    static void abandon(const Ticket &query)
    {
        if (query)
            query->abandoned = true;
    }

    // Forgets the queries that have returned: only running ones stay on record.
    void prune()
    {
        std::erase_if(started, [](const auto &item) { return isDone(*item.second); });
    }

    // Queries abandoned while they still run.
    size_t stuck()
    {
        prune();
        size_t count = 0;
        for (const auto &[key, query] : started)
            count += query->abandoned;
        return count;
    }

private:
    static bool isDone(Query &query)
    {
        std::lock_guard lock(query.mutex);
        return query.done;
    }

    void post(std::function<void()> job)
    {
        std::lock_guard lock(helpers->mutex);
        helpers->jobs.push_back(std::move(job));
        // An idle helper for each waiting job, or one more helper.
        if (helpers->idle >= helpers->jobs.size()) {
            helpers->wake.notify_one();
            return;
        }
        try {
            std::thread(work, helpers).detach();
        } catch (...) {
            helpers->jobs.pop_back();
            throw;
        }
    }

    static void work(std::shared_ptr<Helpers> helpers)
    {
        constexpr auto idleLife = std::chrono::seconds(30);
        std::unique_lock lock(helpers->mutex);
        for (;;) {
            if (!helpers->jobs.empty()) {
                std::function<void()> job = std::move(helpers->jobs.front());
                helpers->jobs.pop_front();
                lock.unlock();
                job();
                lock.lock();
                continue;
            }
            if (helpers->closing)
                return;
            ++helpers->idle;
            const bool woken = helpers->wake.wait_for(
                lock, idleLife, [&] { return !helpers->jobs.empty() || helpers->closing; });
            --helpers->idle;
            if (!woken)
                return;
        }
    }

    const size_t cap;
    std::shared_ptr<Helpers> helpers = std::make_shared<Helpers>();
    std::map<std::string, Ticket> started;
};

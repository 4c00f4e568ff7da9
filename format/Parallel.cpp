#include "format/Parallel.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace zelko {

unsigned DefaultJobs() { return std::max(1u, std::thread::hardware_concurrency()); }

namespace detail {

void RunInOrder(size_t count, unsigned jobs, const std::function<void(size_t)>& work,
                const std::function<void(size_t)>& ready, const std::function<void()>& idle, size_t aheadPerJob) {
    const size_t ahead = size_t(jobs) * std::max<size_t>(aheadPerJob, 1);
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0; // the next item to start
    size_t consumed = 0; // items handed to ready()
    bool stop = false;
    std::vector<bool> done(count, false);

    const auto worker = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stop || next >= count || next < consumed + ahead; });
            if (stop || next >= count) return;
            const size_t i = next++;
            lock.unlock();
            work(i);
            lock.lock();
            done[i] = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(jobs);
    try {
        for (unsigned j = 0; j < jobs; ++j) threads.emplace_back(worker);
    } catch (const std::system_error&) {
        // Fewer threads than asked for do the same work; none at all, this one does it.
        if (threads.empty()) {
            for (size_t i = 0; i < count; ++i) {
                work(i);
                ready(i);
            }
            return;
        }
    }
    const auto finish = [&] {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        for (std::thread& t : threads) t.join();
    };

    try {
        for (size_t i = 0; i < count; ++i) {
            {
                std::unique_lock lock(mutex);
                while (!done[i]) {
                    if (idle) {
                        changed.wait_for(lock, std::chrono::milliseconds(50), [&] { return bool(done[i]); });
                        if (!done[i]) {
                            lock.unlock();
                            idle();
                            lock.lock();
                        }
                    } else {
                        changed.wait(lock, [&] { return bool(done[i]); });
                    }
                }
            }
            ready(i);
            {
                std::lock_guard lock(mutex);
                consumed = i + 1;
            }
            changed.notify_all();
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

} // namespace detail
} // namespace zelko

#pragma once
// Batch work spread over the processor's cores with results taken in order,
// so that output and messages are those of a one-core run.
#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

namespace zelko {

// The number of cores (at least 1): the default for batch work.
unsigned DefaultJobs();

// Runs produce(i) for every i below `count` on up to `jobs` threads and hands
// each result to consume(i, result) on the calling thread in index order.
// At most aheadPerJob x jobs results are made ahead of the one consumed,
// which bounds memory (small results of uneven work may go further ahead so
// that no thread waits behind a long item). `idle` (optional) runs on the calling thread about every 50 ms
// while it waits, to keep a window painting. An exception from produce is
// rethrown in its place in the order; one from consume stops the run. With
// jobs <= 1 everything runs on the calling thread, one item after another.
template <typename Result>
void ForEachInOrder(size_t count, unsigned jobs, const std::function<Result(size_t)>& produce,
                    const std::function<void(size_t, Result&)>& consume, const std::function<void()>& idle = {},
                    size_t aheadPerJob = 2);

namespace detail {
// The scheduler behind ForEachInOrder: work(i) fills slot i, ready(i) is
// called on the calling thread in order once slot i is filled.
void RunInOrder(size_t count, unsigned jobs, const std::function<void(size_t)>& work,
                const std::function<void(size_t)>& ready, const std::function<void()>& idle, size_t aheadPerJob);
} // namespace detail

template <typename Result>
void ForEachInOrder(size_t count, unsigned jobs, const std::function<Result(size_t)>& produce,
                    const std::function<void(size_t, Result&)>& consume, const std::function<void()>& idle,
                    size_t aheadPerJob) {
    if (jobs <= 1 || count <= 1) {
        for (size_t i = 0; i < count; ++i) {
            Result result = produce(i);
            consume(i, result);
        }
        return;
    }
    struct Slot {
        std::optional<Result> result;
        std::exception_ptr error;
    };
    std::vector<Slot> slots(count);
    detail::RunInOrder(
        count, jobs,
        [&](size_t i) {
            try {
                slots[i].result.emplace(produce(i));
            } catch (...) {
                slots[i].error = std::current_exception();
            }
        },
        [&](size_t i) {
            Slot slot = std::move(slots[i]);
            slots[i] = Slot{};
            if (slot.error) std::rethrow_exception(slot.error);
            consume(i, *slot.result);
        },
        idle, aheadPerJob);
}

} // namespace zelko

#pragma once
// Measures an operation's duration in whole milliseconds on the steady clock.
#include <chrono>
#include <cstdint>
#include <optional>

namespace zelko {

class Stopwatch {
public:
    void Start() {
        start_ = Clock::now();
        stop_.reset();
    }
    void Stop() { stop_ = Clock::now(); }
    // Stop time (or now while running) minus start time.
    int64_t ElapsedMilliseconds() const {
        auto end = stop_ ? *stop_ : Clock::now();
        return std::chrono::duration_cast<std::chrono::milliseconds>(end - start_).count();
    }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point start_ = Clock::now();
    std::optional<Clock::time_point> stop_;
};

} // namespace zelko

// One-shot timed actions for the single-threaded event loop.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

namespace sim {

class Scheduler {
public:
    using Action = std::function<void()>;

    // Milliseconds since the sim started (monotonic).
    int64_t now_ms() const;
    double now_precise_ms() const;
    uint64_t after(int64_t delay_ms, Action action);
    uint64_t after_us(int64_t delay_us, Action action);
    void cancel(uint64_t id);
    // Microseconds until the next action (0 when one is due), -1 when none is pending.
    int64_t next_timeout_us() const;
    // Runs every action that is due (also actions that due actions schedule for now).
    void run_due();

private:
    struct Entry {
        uint64_t id;
        Action action;
    };
    int64_t now_us() const;

    std::multimap<int64_t, Entry> queue_;  // keyed by the due time in microseconds
    uint64_t next_id_ = 1;
};

}  // namespace sim

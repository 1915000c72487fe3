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
    void cancel(uint64_t id);
    // Milliseconds until the next action (0 when one is due), -1 when none is pending.
    int next_timeout_ms() const;
    // Runs every action that is due (also actions that due actions schedule for now).
    void run_due();

private:
    struct Entry {
        uint64_t id;
        Action action;
    };
    std::multimap<int64_t, Entry> queue_;
    uint64_t next_id_ = 1;
};

}  // namespace sim

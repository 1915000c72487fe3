#include "scheduler.h"

#include <chrono>

namespace sim {

namespace {
const auto kStart = std::chrono::steady_clock::now();
}

int64_t Scheduler::now_ms() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - kStart)
        .count();
}

double Scheduler::now_precise_ms() const
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - kStart).count();
}

int64_t Scheduler::now_us() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - kStart)
        .count();
}

uint64_t Scheduler::after(int64_t delay_ms, Action action)
{
    return after_us(delay_ms < 0 ? 0 : delay_ms * 1000, std::move(action));
}

uint64_t Scheduler::after_us(int64_t delay_us, Action action)
{
    uint64_t id = next_id_++;
    queue_.emplace(now_us() + (delay_us < 0 ? 0 : delay_us), Entry{id, std::move(action)});
    return id;
}

void Scheduler::cancel(uint64_t id)
{
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (it->second.id == id) {
            queue_.erase(it);
            return;
        }
    }
}

int64_t Scheduler::next_timeout_us() const
{
    if (queue_.empty())
        return -1;
    int64_t d = queue_.begin()->first - now_us();
    if (d < 0)
        d = 0;
    if (d > 1000000000)
        d = 1000000000;
    return d;
}

void Scheduler::run_due()
{
    for (;;) {
        if (queue_.empty())
            return;
        auto it = queue_.begin();
        if (it->first > now_us())
            return;
        Action a = std::move(it->second.action);
        queue_.erase(it);
        a();
    }
}

}  // namespace sim

// The trace file: one flushed line per accepted command and per rejected frame.
#pragma once

#include <cstdio>
#include <string>

namespace sim {

class Trace {
public:
    Trace() = default;
    ~Trace();
    Trace(const Trace &) = delete;
    Trace &operator=(const Trace &) = delete;

    bool open(const std::string &path, std::string *error);
    void line(const char *fmt, ...) __attribute__((format(printf, 2, 3)));

private:
    FILE *file_ = nullptr;
};

}  // namespace sim

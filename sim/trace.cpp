#include "trace.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace sim {

Trace::~Trace()
{
    if (file_)
        std::fclose(file_);
}

bool Trace::open(const std::string &path, std::string *error)
{
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        *error = "cannot open trace " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void Trace::line(const char *fmt, ...)
{
    if (!file_)
        return;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(file_, fmt, ap);
    va_end(ap);
    std::fputc('\n', file_);
    std::fflush(file_);
}

}  // namespace sim

#include "frames.h"

#include <cstdio>

namespace sim {

namespace {

std::string code_text(const char *what, uint8_t code)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s code=0x%02X", what, code);
    return buf;
}

ParsedFrame reject(std::string reason)
{
    ParsedFrame r;
    r.kind = ParsedFrame::Reject;
    r.reason = std::move(reason);
    return r;
}

}  // namespace

std::vector<uint8_t> build_reply(const std::vector<uint8_t> &contents)
{
    size_t len = contents.size() + 5;
    std::vector<uint8_t> f;
    f.reserve(len);
    f.push_back(kReplyStart);
    f.push_back(uint8_t(len >> 8));
    f.push_back(uint8_t(len & 0xFF));
    f.insert(f.end(), contents.begin(), contents.end());
    unsigned sum = 0;
    for (uint8_t b : f)
        sum += b;
    f.push_back(uint8_t(sum & 0xFF));
    f.push_back(kFrameEnd);
    return f;
}

std::vector<uint8_t> build_custom(uint8_t code, const std::vector<uint8_t> &data)
{
    size_t len = data.size() + 8;
    std::vector<uint8_t> f;
    f.reserve(len);
    f.push_back(kCustomStart1);
    f.push_back(kCustomStart2);
    f.push_back(uint8_t(len >> 8));
    f.push_back(uint8_t(len & 0xFF));
    f.push_back(code);
    f.insert(f.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : f)
        sum += b;
    f.push_back(uint8_t((sum >> 8) & 0xFF));
    f.push_back(uint8_t(sum & 0xFF));
    f.push_back(kFrameEnd);
    return f;
}

ParsedFrame CommandParser::feed(uint8_t b)
{
    if (buf_.empty()) {
        if (b != kCommandStart) {
            last2_ = last1_;
            last1_ = b;
            return {};
        }
        prefixed_ = (last2_ == kPrefix1 && last1_ == kPrefix2);
        last1_ = last2_ = 0;
        buf_.push_back(b);
        return {};
    }
    buf_.push_back(b);
    if (buf_.size() < 3)
        return {};
    size_t len = size_t(buf_[1]) << 8 | buf_[2];
    if (buf_.size() == 3 && (len < 6 || len > kMaxFrame)) {
        char text[48];
        std::snprintf(text, sizeof text, "bad-length len=%zu", len);
        reset();
        return reject(text);
    }
    if (buf_.size() < len)
        return {};

    std::vector<uint8_t> f;
    f.swap(buf_);
    bool prefixed = prefixed_;
    prefixed_ = false;
    uint8_t code = f[3];
    if (f[len - 1] != kFrameEnd)
        return reject(code_text("bad-end", code));
    unsigned sum = 0;
    for (size_t i = 0; i + 2 < len; ++i)
        sum += f[i];
    if (uint8_t(sum & 0xFF) != f[len - 2])
        return reject(code_text("bad-checksum", code));
    ParsedFrame r;
    r.kind = ParsedFrame::Frame;
    r.code = code;
    r.data.assign(f.begin() + 4, f.begin() + long(len) - 2);
    r.prefixed = prefixed;
    return r;
}

ParsedFrame CommandParser::abandon()
{
    if (buf_.empty())
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "incomplete got=%zu", buf_.size());
    reset();
    return reject(text);
}

void CommandParser::reset()
{
    buf_.clear();
    last1_ = last2_ = 0;
    prefixed_ = false;
}

ParsedFrame CustomParser::feed(uint8_t b)
{
    if (buf_.empty()) {
        if (b == kCustomStart1)
            buf_.push_back(b);
        return {};
    }
    if (buf_.size() == 1) {
        if (b == kCustomStart2)
            buf_.push_back(b);
        else if (b != kCustomStart1)
            buf_.clear();
        return {};
    }
    buf_.push_back(b);
    if (buf_.size() < 4)
        return {};
    size_t len = size_t(buf_[2]) << 8 | buf_[3];
    if (buf_.size() == 4 && (len < 8 || len > kMaxFrame)) {
        char text[48];
        std::snprintf(text, sizeof text, "bad-length len=%zu", len);
        reset();
        return reject(text);
    }
    if (buf_.size() < len)
        return {};

    std::vector<uint8_t> f;
    f.swap(buf_);
    uint8_t code = f[4];
    if (f[len - 1] != kFrameEnd)
        return reject(code_text("bad-end", code));
    unsigned sum = 0;
    for (size_t i = 0; i + 3 < len; ++i)
        sum += f[i];
    if (uint8_t((sum >> 8) & 0xFF) != f[len - 3] || uint8_t(sum & 0xFF) != f[len - 2])
        return reject(code_text("bad-checksum", code));
    ParsedFrame r;
    r.kind = ParsedFrame::Frame;
    r.code = code;
    r.data.assign(f.begin() + 5, f.begin() + long(len) - 3);
    return r;
}

ParsedFrame CustomParser::abandon()
{
    if (buf_.size() < 2) {
        buf_.clear();
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, "incomplete got=%zu", buf_.size());
    reset();
    return reject(text);
}

void CustomParser::reset()
{
    buf_.clear();
}

}  // namespace sim

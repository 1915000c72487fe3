// Frames as the boot loader sees them: command frames in (0x6A), reply frames out (0x68),
// and the custom frames (0x5A 0xA5) of the in-application download routine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr uint8_t kCommandStart = 0x6A;
constexpr uint8_t kReplyStart = 0x68;
constexpr uint8_t kFrameEnd = 0x16;
constexpr uint8_t kPrefix1 = 0x46;
constexpr uint8_t kPrefix2 = 0xB9;
constexpr uint8_t kCustomStart1 = 0x5A;
constexpr uint8_t kCustomStart2 = 0xA5;
constexpr size_t kMaxFrame = 300;

// 0x68, length (whole frame, 2 bytes), contents, 8-bit sum of everything before, 0x16.
std::vector<uint8_t> build_reply(const std::vector<uint8_t> &contents);

// 0x5A 0xA5, length (2 bytes), code, data, 16-bit sum of everything before (high first), 0x16.
std::vector<uint8_t> build_custom(uint8_t code, const std::vector<uint8_t> &data);

struct ParsedFrame {
    enum Kind { None, Frame, Reject } kind = None;
    uint8_t code = 0;
    std::vector<uint8_t> data;  // bytes between the code and the checksum
    bool prefixed = false;      // 0x46 0xB9 came right before the start byte
    std::string reason;         // for Reject
};

// Assembles command frames byte by byte. Bytes outside a frame are skipped.
class CommandParser {
public:
    ParsedFrame feed(uint8_t b);
    bool in_frame() const { return !buf_.empty(); }
    // An incomplete frame that stopped arriving.
    ParsedFrame abandon();
    void reset();

private:
    std::vector<uint8_t> buf_;
    uint8_t last1_ = 0, last2_ = 0;  // the two bytes before, outside a frame
    bool prefixed_ = false;
};

// Assembles custom frames byte by byte.
class CustomParser {
public:
    ParsedFrame feed(uint8_t b);
    bool in_frame() const { return !buf_.empty(); }
    ParsedFrame abandon();
    void reset();

private:
    std::vector<uint8_t> buf_;
};

}  // namespace sim

#include "config.h"

#include "catalogue.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace sim {

namespace {

const char kUsage[] =
    "usage: zvkisp-sim [options]\n"
    "  Plays a board with an 8051-compatible MCU and its serial boot loader on a pseudo-terminal.\n"
    "  The first line of standard output is \"PORT /dev/pts/N\".\n"
    "\n"
    "line and process:\n"
    "  --link PATH              symlink PATH -> the slave device (removed at exit)\n"
    "  --trace FILE             one line per accepted command / rejected frame\n"
    "  --trace-bytes            also trace the bytes of each frame received (\"rx 6A 00 06 ...\")\n"
    "  --flash-out FILE         flash image written when the board runs (FILE.opt: option byte)\n"
    "  --baud-tolerance PCT     baud mismatch the UART still understands (default 3)\n"
    "  --power-on-delay MS      board stays off that long after start (default 0)\n"
    "  --boards N               boards to play one after another (default 1)\n"
    "  --next-board-delay MS    off time between two boards (default 500)\n"
    "  --exit-grace MS          time after the last board's run before exiting (default 500)\n"
    "  --power-control PATH     FIFO (created if missing) the test side writes \"on\"/\"off\" lines to:\n"
    "                           the board's power line; off swallows everything and loses the state\n"
    "chip:\n"
    "  --model NAME             catalogue model (sets family, variant, identity, flash size ...)\n"
    "  --list-models            print the model names and exit\n"
    "  --family 0|1|2           model family of a generic chip (default from the variant)\n"
    "  --clock HZ               MCU clock (default 11059200)\n"
    "  --clock-drift PCT        real baud of the MCU differs by PCT from the measured clock\n"
    "  --variant A|B|C          boot-loader variant letter\n"
    "  --version X.Y            firmware version (2.8 gives the byte 0x28)\n"
    "  --options BYTE           option byte (hex with 0x, or decimal)\n"
    "  --chip ID SUBID          identity and sub-identity bytes (hex)\n"
    "  --extended BYTE          send the extended option byte\n"
    "  --no-extended            do not send the extended option byte\n"
    "  --block-protect          bit 7 of the extended byte: prefix mode 0x46 0xB9\n"
    "  --top-size 1024|1536|2048|2560  reserved top size (extended byte bits 1..0)\n"
    "  --short-status           status frame of length 24 (no option byte, no identity)\n"
    "  --status-length N        length byte of the status frame (24..28)\n"
    "  --flash-size BYTES       bytes the program command accepts from address 0\n"
    "  --ignore-options         the options command is answered but changes nothing\n"
    "  --short-program-ack      acknowledge program frames with a 6-byte reply (no echo)\n"
    "boot-loader timing:\n"
    "  --erase-ms MS            duration of an erase (default 50)\n"
    "  --program-us US          time to write one program frame before its echo (default 200)\n"
    "  --switch-delay MS        delay before the answer at a new baud (default 30)\n"
    "  --instant-line           answer as soon as a frame is read (no waiting out its wire time)\n"
    "  --switch-wait MS         longest wait for the tool to listen at the new baud (default 400)\n"
    "  --reply-delay MS         extra delay before every answer (default 0)\n"
    "  --frame-timeout MS       gap that abandons an incomplete frame (default 250)\n"
    "application mode:\n"
    "  --application            the board runs a user application first\n"
    "  --app-format B,P,D,S     serial format of the application (default 38400,N,8,1)\n"
    "  --trigger HEX            trigger command the application listens for\n"
    "  --app-reset-ms MS        delay from the trigger to the boot loader (default 1000)\n"
    "  --demo-routine           the trigger enters the in-application download routine\n"
    "  --demo-format B,P,D,S    serial format of that routine (default 38400,N,8,1)\n"
    "  --demo-id HEX4           identity reported by the routine (default from the model)\n"
    "faults:\n"
    "  --seed N                 random seed (default 1)\n"
    "  --drop-reply P           probability (0..1, or N%) that an answer is not sent\n"
    "  --corrupt P              probability that an answer is sent with one bit flipped\n"
    "  --late MIN-MAX           every answer is delayed by MIN..MAX ms\n"
    "  --mute-after N           no answers after N accepted frames\n"
    "  --vanish-after N         the line disappears after N accepted frames\n";

bool parse_long(const char *text, int base, long *out)
{
    if (!text || !*text)
        return false;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, base);
    if (errno != 0 || *end != '\0')
        return false;
    *out = v;
    return true;
}

bool parse_double(const char *text, double *out)
{
    if (!text || !*text)
        return false;
    char *end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

bool parse_probability(const std::string &text, double *out)
{
    std::string t = text;
    bool percent = false;
    if (!t.empty() && t.back() == '%') {
        percent = true;
        t.pop_back();
    }
    double v = 0;
    if (!parse_double(t.c_str(), &v))
        return false;
    if (percent)
        v /= 100.0;
    if (v < 0 || v > 1)
        return false;
    *out = v;
    return true;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parse_hex_bytes(const std::string &text, std::vector<uint8_t> *out)
{
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == ':' || c == '\t')
            continue;
        if (hex_digit(c) < 0)
            return false;
        digits.push_back(c);
    }
    if (digits.size() % 2 != 0)
        return false;
    out->clear();
    for (size_t i = 0; i < digits.size(); i += 2)
        out->push_back(uint8_t(hex_digit(digits[i]) * 16 + hex_digit(digits[i + 1])));
    return true;
}

bool parse_version(const std::string &text, uint8_t *out)
{
    // "X.Y" with one hexadecimal digit each side.
    if (text.size() != 3 || text[1] != '.')
        return false;
    int hi = hex_digit(text[0]);
    int lo = hex_digit(text[2]);
    if (hi < 0 || lo < 0)
        return false;
    *out = uint8_t(hi * 16 + lo);
    return true;
}

bool parse_byte(const char *text, int base, uint8_t *out)
{
    long v = 0;
    if (!parse_long(text, base, &v) || v < 0 || v > 255)
        return false;
    *out = uint8_t(v);
    return true;
}

// Top area kept by a boot loader that does not report it, by firmware version.
int top_size_by_version(uint8_t version)
{
    int tenths = (version >> 4) * 10 + (version & 0x0F);
    if (tenths >= 19 && tenths <= 24)
        return 1024;
    if (tenths == 26)
        return 1024;
    return 2048;
}

}  // namespace

bool parse_serial_format(const std::string &text, SerialFormat *out)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : text) {
        if (c == ',') {
            parts.push_back(cur);
            cur.clear();
        } else if (c != ' ') {
            cur.push_back(c);
        }
    }
    parts.push_back(cur);
    if (parts.size() != 4)
        return false;
    SerialFormat f;
    long v = 0;
    if (!parse_long(parts[0].c_str(), 10, &v) || v <= 0)
        return false;
    f.baud = double(v);
    if (parts[1].empty())
        return false;
    char p = char(std::toupper(static_cast<unsigned char>(parts[1][0])));
    if (std::strchr("NEOMS", p) == nullptr)
        return false;
    f.parity = p;
    if (!parse_long(parts[2].c_str(), 10, &v) || v < 5 || v > 8)
        return false;
    f.data_bits = int(v);
    if (parts[3] == "1.5") {
        f.stop_bits = 1;
    } else {
        if (!parse_long(parts[3].c_str(), 10, &v) || v < 1 || v > 2)
            return false;
        f.stop_bits = int(v);
    }
    *out = f;
    return true;
}

std::string format_text(const SerialFormat &f)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.0f,%c,%d,%d", f.baud, f.parity, f.data_bits, f.stop_bits);
    return buf;
}

bool Config::prefix_mode() const
{
    return has_extended && status_length >= 28 && version >= 0x26 && (extended & 0x80) != 0;
}

int Config::reserved_top_size() const
{
    if (has_extended && status_length >= 28 && version >= 0x26) {
        static const int kSizes[4] = {1024, 1536, 2048, 2560};
        return kSizes[extended & 0x03];
    }
    return top_size_by_version(version);
}

int parse_command_line(int argc, char **argv, Config *cfg)
{
    // Explicit choices; applied over the model's defaults at the end.
    std::optional<std::string> model;
    std::optional<int> family;
    std::optional<char> variant;
    std::optional<uint8_t> version, options, extended, demo_id_hi, demo_id_lo;
    std::optional<std::pair<uint8_t, uint8_t>> chip;
    std::optional<int> top_size, status_length;
    std::optional<uint32_t> flash_size;
    bool block_protect = false, no_extended = false, short_status = false;

    auto fail = [](const std::string &msg) {
        std::fprintf(stderr, "zvkisp-sim: %s\n", msg.c_str());
        return 2;
    };

    for (int i = 1; i < argc; ++i) {
        std::string opt = argv[i];
        auto need = [&](int n) -> bool { return i + n < argc; };
        auto arg = [&]() -> const char * { return argv[++i]; };
        auto int_arg = [&](long lo, long hi, long *v) -> bool {
            if (!need(1))
                return false;
            return parse_long(arg(), 10, v) && *v >= lo && *v <= hi;
        };
        long v = 0;

        if (opt == "--help" || opt == "-h") {
            std::fputs(kUsage, stdout);
            return 1;
        } else if (opt == "--list-models") {
            list_models(stdout);
            return 1;
        } else if (opt == "--link" && need(1)) {
            cfg->link_path = arg();
        } else if (opt == "--power-control" && need(1)) {
            cfg->power_control_path = arg();
        } else if (opt == "--trace" && need(1)) {
            cfg->trace_path = arg();
        } else if (opt == "--flash-out" && need(1)) {
            cfg->flash_out = arg();
        } else if (opt == "--baud-tolerance") {
            double d = 0;
            if (!need(1) || !parse_double(arg(), &d) || d < 0 || d > 50)
                return fail("bad --baud-tolerance");
            cfg->baud_tolerance_pct = d;
        } else if (opt == "--power-on-delay") {
            if (!int_arg(0, 3600000, &v))
                return fail("bad --power-on-delay");
            cfg->power_on_delay_ms = int(v);
        } else if (opt == "--boards") {
            if (!int_arg(1, 100000, &v))
                return fail("bad --boards");
            cfg->boards = int(v);
        } else if (opt == "--next-board-delay") {
            if (!int_arg(0, 3600000, &v))
                return fail("bad --next-board-delay");
            cfg->next_board_delay_ms = int(v);
        } else if (opt == "--exit-grace") {
            if (!int_arg(0, 60000, &v))
                return fail("bad --exit-grace");
            cfg->exit_grace_ms = int(v);
        } else if (opt == "--model" && need(1)) {
            model = arg();
            if (!find_model(*model))
                return fail("unknown model " + *model + " (see --list-models)");
        } else if (opt == "--family") {
            if (!int_arg(0, 2, &v))
                return fail("bad --family");
            family = int(v);
        } else if (opt == "--clock") {
            double d = 0;
            if (!need(1) || !parse_double(arg(), &d) || d < 1000 || d > 200e6)
                return fail("bad --clock");
            cfg->clock_hz = d;
        } else if (opt == "--clock-drift") {
            double d = 0;
            if (!need(1) || !parse_double(arg(), &d) || d <= -50 || d >= 50)
                return fail("bad --clock-drift");
            cfg->clock_drift_pct = d;
        } else if (opt == "--variant" && need(1)) {
            std::string t = arg();
            if (t.size() != 1)
                return fail("bad --variant");
            variant = t[0];
        } else if (opt == "--version") {
            uint8_t b = 0;
            if (!need(1) || !parse_version(arg(), &b))
                return fail("bad --version (X.Y)");
            version = b;
        } else if (opt == "--options") {
            uint8_t b = 0;
            if (!need(1) || !parse_byte(arg(), 0, &b))
                return fail("bad --options");
            options = b;
        } else if (opt == "--chip") {
            uint8_t a = 0, b = 0;
            if (!need(2))
                return fail("--chip needs ID SUBID");
            const char *ta = arg();
            const char *tb = arg();
            if (!parse_byte(ta, 16, &a) || !parse_byte(tb, 16, &b))
                return fail("bad --chip (two hex bytes)");
            chip = std::make_pair(a, b);
        } else if (opt == "--extended") {
            uint8_t b = 0;
            if (!need(1) || !parse_byte(arg(), 0, &b))
                return fail("bad --extended");
            extended = b;
        } else if (opt == "--no-extended") {
            no_extended = true;
        } else if (opt == "--block-protect") {
            block_protect = true;
        } else if (opt == "--top-size") {
            if (!need(1) || !parse_long(arg(), 10, &v) || (v != 1024 && v != 1536 && v != 2048 && v != 2560))
                return fail("bad --top-size");
            top_size = int(v);
        } else if (opt == "--short-status") {
            short_status = true;
        } else if (opt == "--status-length") {
            if (!int_arg(24, 28, &v))
                return fail("bad --status-length (24..28)");
            status_length = int(v);
        } else if (opt == "--flash-size") {
            if (!need(1) || !parse_long(arg(), 0, &v) || v < 1 || v > 0x20000)
                return fail("bad --flash-size");
            flash_size = uint32_t(v);
        } else if (opt == "--ignore-options") {
            cfg->ignore_options = true;
        } else if (opt == "--short-program-ack") {
            cfg->short_program_ack = true;
        } else if (opt == "--erase-ms") {
            if (!int_arg(0, 600000, &v))
                return fail("bad --erase-ms");
            cfg->erase_ms = int(v);
        } else if (opt == "--program-us") {
            if (!int_arg(0, 10000000, &v))
                return fail("bad --program-us");
            cfg->program_us = int(v);
        } else if (opt == "--switch-delay") {
            if (!int_arg(0, 10000, &v))
                return fail("bad --switch-delay");
            cfg->switch_delay_ms = int(v);
        } else if (opt == "--trace-bytes") {
            cfg->trace_bytes = true;
        } else if (opt == "--instant-line") {
            cfg->instant_line = true;
        } else if (opt == "--switch-wait") {
            if (!int_arg(0, 10000, &v))
                return fail("bad --switch-wait");
            cfg->switch_wait_ms = int(v);
        } else if (opt == "--reply-delay") {
            if (!int_arg(0, 60000, &v))
                return fail("bad --reply-delay");
            cfg->reply_delay_ms = int(v);
        } else if (opt == "--frame-timeout") {
            if (!int_arg(1, 60000, &v))
                return fail("bad --frame-timeout");
            cfg->frame_timeout_ms = int(v);
        } else if (opt == "--application") {
            cfg->application = true;
        } else if (opt == "--app-format") {
            if (!need(1) || !parse_serial_format(arg(), &cfg->app_format))
                return fail("bad --app-format (BAUD,P,D,S)");
        } else if (opt == "--trigger") {
            if (!need(1) || !parse_hex_bytes(arg(), &cfg->trigger))
                return fail("bad --trigger (hex pairs)");
        } else if (opt == "--app-reset-ms") {
            if (!int_arg(0, 600000, &v))
                return fail("bad --app-reset-ms");
            cfg->app_reset_ms = int(v);
        } else if (opt == "--demo-routine") {
            cfg->demo_routine = true;
        } else if (opt == "--demo-format") {
            if (!need(1) || !parse_serial_format(arg(), &cfg->demo_format))
                return fail("bad --demo-format (BAUD,P,D,S)");
        } else if (opt == "--demo-id") {
            std::vector<uint8_t> id;
            if (!need(1) || !parse_hex_bytes(arg(), &id) || id.size() != 2)
                return fail("bad --demo-id (four hex digits)");
            demo_id_hi = id[0];
            demo_id_lo = id[1];
        } else if (opt == "--seed") {
            if (!need(1) || !parse_long(arg(), 0, &v) || v < 0)
                return fail("bad --seed");
            cfg->seed = uint32_t(v);
        } else if (opt == "--drop-reply") {
            if (!need(1) || !parse_probability(arg(), &cfg->drop_reply))
                return fail("bad --drop-reply");
        } else if (opt == "--corrupt") {
            if (!need(1) || !parse_probability(arg(), &cfg->corrupt))
                return fail("bad --corrupt");
        } else if (opt == "--late") {
            if (!need(1))
                return fail("bad --late (MIN-MAX)");
            std::string t = arg();
            size_t dash = t.find('-');
            long lo = 0, hi = 0;
            if (dash == std::string::npos) {
                if (!parse_long(t.c_str(), 10, &lo))
                    return fail("bad --late (MIN-MAX)");
                hi = lo;
            } else if (!parse_long(t.substr(0, dash).c_str(), 10, &lo) ||
                       !parse_long(t.substr(dash + 1).c_str(), 10, &hi)) {
                return fail("bad --late (MIN-MAX)");
            }
            if (lo < 0 || hi < lo || hi > 600000)
                return fail("bad --late (MIN-MAX)");
            cfg->late_min_ms = int(lo);
            cfg->late_max_ms = int(hi);
        } else if (opt == "--mute-after") {
            if (!int_arg(0, 1000000000, &v))
                return fail("bad --mute-after");
            cfg->mute_after = v;
        } else if (opt == "--vanish-after") {
            if (!int_arg(0, 1000000000, &v))
                return fail("bad --vanish-after");
            cfg->vanish_after = v;
        } else {
            return fail("unknown or incomplete option " + opt + " (see --help)");
        }
    }

    // Base chip: the model, else a generic chip of the family (given, or by the variant letter).
    const ChipModel *m = nullptr;
    if (model) {
        m = find_model(*model);
    } else {
        int fam = 2;
        if (family)
            fam = *family;
        else if (variant && *variant == 'A')
            fam = 0;
        else if (variant && *variant == 'B')
            fam = 1;
        m = find_model(fam == 0 ? "ZVK7H64B" : fam == 1 ? "ZVK7L64D" : "ZVK7H64B+");
    }
    cfg->model_name = m->name;
    cfg->family = family ? *family : m->family;

    switch (cfg->family) {
    case 2:
        cfg->variant = 'C';
        cfg->version = 0x28;
        cfg->options = 0xFF;
        cfg->has_identity = true;
        cfg->has_extended = true;
        cfg->extended = 0x00;
        cfg->status_length = 28;
        break;
    case 1:
        cfg->variant = 'B';
        cfg->version = 0x24;
        cfg->options = 0xFF;
        cfg->has_identity = true;
        cfg->has_extended = false;
        cfg->status_length = 27;
        break;
    default:
        cfg->variant = 'A';
        cfg->version = 0x22;
        cfg->options = 0xF7;
        cfg->has_identity = false;
        cfg->has_extended = false;
        cfg->status_length = 24;
        break;
    }
    cfg->identity = m->identity;
    cfg->sub_identity = m->sub_identity;
    cfg->demo_id = m->demo_id;

    if (variant)
        cfg->variant = *variant;
    if (version)
        cfg->version = *version;
    if (options)
        cfg->options = *options;
    if (chip) {
        cfg->has_identity = true;
        cfg->identity = chip->first;
        cfg->sub_identity = chip->second;
        if (cfg->status_length < 27)
            cfg->status_length = 27;
    }
    if (extended) {
        cfg->has_extended = true;
        cfg->extended = *extended;
    }
    if (block_protect) {
        cfg->has_extended = true;
        cfg->extended |= 0x80;
    }
    if (top_size) {
        cfg->has_extended = true;
        cfg->extended = uint8_t((cfg->extended & ~0x03) | ((*top_size - 1024) / 512));
    }
    if (no_extended)
        cfg->has_extended = false;
    if (cfg->has_extended)
        cfg->status_length = 28;
    else if (cfg->status_length > 27)
        cfg->status_length = 27;
    if (short_status) {
        cfg->status_length = 24;
        cfg->has_identity = false;
        cfg->has_extended = false;
    }
    if (status_length)
        cfg->status_length = *status_length;
    if (demo_id_hi)
        cfg->demo_id = uint16_t(*demo_id_hi << 8 | *demo_id_lo);

    // What the program command accepts: family 2 up to its reserved top area, the others
    // their whole application area.
    if (cfg->family == 2)
        cfg->flash_size = m->range_end + 1 - uint32_t(cfg->reserved_top_size());
    else
        cfg->flash_size = m->ap_end + 1;
    if (flash_size)
        cfg->flash_size = *flash_size;

    if (cfg->application && !cfg->demo_routine && cfg->trigger.empty())
        return fail("--application needs --trigger (or --demo-routine)");
    return 0;
}

}  // namespace sim

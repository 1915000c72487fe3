#include "device/handshake.h"

#include "device/work_state.h"
#include "device/mcu_status.h"
#include "device/stop_run.h"
#include "isp/frames.h"
#include "isp/isp_link.h"
#include "device/link_results.h"
#include "base/message_log.h"
#include "isp/port_advice.h"
#include "isp/power_cycle.h"
#include "base/user_dialogs.h"
#include "models/model_catalogue.h"
#include "base/log_texts.h"

#include <cmath>

namespace {

// Nearest whole number, halves to the even neighbour.
double round_half_even(double v)
{
    const double f = std::floor(v);
    const double diff = v - f;
    if (diff > 0.5)
        return f + 1;
    if (diff < 0.5)
        return f;
    return std::fmod(f, 2.0) == 0.0 ? f : f + 1;
}

QString hex2(quint8 b)
{
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

const QString kStopLine = LogText::operation_stopped();

} // namespace

const qint32 Handshake::kBaudTable[12] = {1200, 2400, 4800, 9600, 11520, 12800, 14400, 19200, 28800, 38400, 57600, 115200};

Handshake::Handshake(IspLink& link, UserDialogs& dialogs, MessageLog& log, McuStatus& status, LinkResults& results,
                     const LinkChoices& choices, const SelectedModel& model, StatusReport& report,
                     WorkState& work, StopRun& stop_run)
    : link_(link), dialogs_(dialogs), log_(log), status_(status), results_(results), choices_(choices),
      model_(model), report_(report), work_(work), stop_run_(stop_run)
{
}

void Handshake::stop_line()
{
    dialogs_.beep();
    log_.append(kStopLine);
}

void Handshake::fail_with_time()
{
    link_.beep_times(3);
    log_.append(LogText::handshake_failed() + MessageLog::time_of_day() + QStringLiteral(")"));
}

// ---- Pure pieces --------------------------------------------------------------------------------

qint32 Handshake::clock_from_counts(const quint16 counts[8])
{
    qint32 sum = 0;
    for (int i = 0; i < 8; ++i)
        sum += counts[i];
    const qint32 mean = qint32(round_half_even(double(sum) / 8.0));
    return (mean + 6) * 2061;
}

QString Handshake::model_name_for(const QString& id, const QString& sub)
{
    // Identity (and, for F0/F1, sub-identity; empty = any) to the reported model name.
    struct Row {
        const char* id;
        const char* sub;
        const char* name;
    };
    static const Row rows[] = {
        {"56", "", "ZVK7L64D/T2"},  {"58", "", "ZVK7L32D"},     {"54", "", "ZVK7L16D"},
        {"52", "", "ZVK7L08D"},     {"F0", "01", "ZVK7H/L04A"}, {"F0", "02", "ZVK7H/L08A"},
        {"F0", "04", "ZVK7H/L12A"}, {"F1", "04", "ZVK7H/L16B+"}, {"F1", "08", "ZVK7H/L32B+"},
        {"F1", "10", "ZVK7H/L64B+"},
    };
    for (const Row& r : rows)
        if (id == QLatin1String(r.id) && (!*r.sub || sub == QLatin1String(r.sub)))
            return QString::fromLatin1(r.name);
    return QString();
}

std::optional<Handshake::BaudChoice> Handshake::calculate_baud(qint32 clock, qint16 index, qint32 limit)
{
    if (index > 12)
        index = 12;
    if (index < 1 || clock < 1)
        return std::nullopt;
    qint32 counts[12];
    float errors[12];
    for (int i = 0; i < 12; ++i) {
        counts[i] = qint32(std::floor(double(clock) / 32.0 / kBaudTable[i] + 0.5));
        if (counts[i] <= 0) {
            errors[i] = 100;
        } else {
            const double actual = double(clock) / 32.0 / counts[i];
            errors[i] = float((actual - kBaudTable[i]) / kBaudTable[i] * 100.0);
        }
    }
    for (int i = index - 1; i >= 0; --i) {
        if (kBaudTable[i] > limit)
            continue;
        if (errors[i] > -3.5f && errors[i] < 4.5f && counts[i] > 2)
            return BaudChoice{qint16(i), kBaudTable[i], errors[i], qint16(counts[i])};
    }
    return std::nullopt;
}

quint8 Handshake::wdt_pin_code(const QString& pin)
{
    if (pin.size() != 4)
        return 0xFF;
    const int p = pin.at(1).digitValue();
    const int b = pin.at(3).digitValue();
    if (p < 0 || b < 0)
        return 0xFF;
    return quint8((16 * b + p) & 0xFF);
}

quint8 Handshake::timing_code(double clock_hz, int family)
{
    const qint32 mhz = qint32(std::floor(clock_hz / 1000000.0 + 0.5));
    if (family == 1) {
        if (mhz < 5)
            return 0x83;
        if (mhz < 15)
            return 0x82;
        if (mhz < 30)
            return 0x81;
        return 0x80;
    }
    if (family == 2) {
        if (mhz <= 5)
            return 0x83;
        if (mhz <= 10)
            return 0x82;
        if (mhz < 20)
            return 0x81;
        return 0x80;
    }
    return 0;
}

quint8 Handshake::y_byte(qint32 baud, double clock_hz)
{
    double y = round_half_even(40.0 - baud * 0.002);
    if (y < 23)
        y = 23;
    if (clock_hz > 68000000.0)
        y *= 2;
    return quint8(qint32(y) & 0xFF);
}

namespace {
// The reload, its complement, the doubled low byte (capped at `x_cap`) and the Y byte, as both baud
// frames carry them.
QByteArray baud_fields(quint8 hi, quint8 lo, int x_cap, quint8 y)
{
    QByteArray data;
    data.append(char(hi));
    data.append(char(lo));
    data.append(char(255 - hi));
    data.append(char(qMin((256 - lo) * 2, x_cap)));
    data.append(char(y));
    return data;
}
} // namespace

QByteArray Handshake::test_baud_frame(qint32 baud, quint8 hi, quint8 lo, double clock_hz, int family)
{
    QByteArray data = baud_fields(hi, lo, 254, y_byte(baud, clock_hz));
    data.append(char(timing_code(clock_hz, family)));
    return Frames::command_frame(Frames::TestBaud, data);
}

QByteArray Handshake::switch_baud_frame(qint32 baud, quint8 hi, quint8 lo, double clock_hz)
{
    return Frames::command_frame(Frames::SwitchBaud, baud_fields(hi, lo, 255, y_byte(baud, clock_hz)));
}

QByteArray Handshake::wdt_frame(bool enabled, const QString& pin_text)
{
    const quint8 code = enabled ? wdt_pin_code(pin_text) : 0xFF;
    return Frames::command_frame(Frames::WatchdogPin, QByteArray(1, char(code)));
}

quint16 Handshake::reserved_top_size_for(const QString& version)
{
    McuStatus probe;
    probe.firmware_version = version;
    const int index = int(std::floor(probe.version_value() * 10 + 0.5));
    if (index < 0 || index > 39)
        return 0;
    if (index >= 10 && index <= 18)
        return 2048;
    if (index >= 19 && index <= 24)
        return 1024;
    if (index == 26)
        return 1024;
    return 2048;
}

// ---- Procedures ---------------------------------------------------------------------------------

// Sends a prepared frame (6A .. 16) byte by byte with the running checksum.
void Handshake::send_frame_bytes(const QByteArray& frame)
{
    link_.set_tx_checksum(0);
    for (int i = 0; i < frame.size() - 2; ++i)
        link_.send_byte(quint8(frame[i]));
    link_.send_checksum();
    link_.send_byte(Frames::kEnd);
}

void Handshake::lookup_reserved_top_size(const QString& version)
{
    const quint16 size = reserved_top_size_for(version);
    if (size != 0)
        status_.reserved_top_size = size;
}

void Handshake::derive_alternate_reload()
{
    const qint32 count = 65536 - (results_.baud_reload_hi * 256 + results_.baud_reload_lo);
    if (status_.double_speed) {
        results_.alt_reload_hi = results_.baud_reload_hi;
        results_.alt_reload_lo = results_.baud_reload_lo;
        const qint32 reload = 65536 - qint32(round_half_even(count / 2.0));
        results_.baud_reload_lo = quint8(reload & 0xFF);
        results_.baud_reload_hi = quint8((reload >> 8) & 0xFF);
    } else {
        const qint32 reload = 65536 - 2 * count;
        results_.alt_reload_lo = quint8(reload & 0xFF);
        results_.alt_reload_hi = quint8((reload >> 8) & 0xFF);
    }
}

bool Handshake::send_extern_WDT_address()
{
    if (!choices_.wdt_pin_enabled)
        return true;
    if (!link_.port_open())
        link_.open_port();
    const QByteArray frame = wdt_frame(choices_.wdt_pin_enabled, choices_.wdt_pin);
    for (int attempt = 0; attempt < 3; ++attempt) {
        link_.set_rx_count(0);
        link_.clear_reply();
        link_.delay_ms(20);
        link_.send_byte(Frames::kPrefix0);
        link_.send_byte(Frames::kPrefix1);
        link_.set_reply_armed(true);
        link_.clear_reply();
        send_frame_bytes(frame);
        if (link_.wait_reply(500))
            return true;
        if (link_.stop_requested())
            break;
    }
    link_.close_port();
    return false;
}

// The settings change in place on the open port (the receive side keeps listening): the answer
// at the candidate baud may come as soon as the frame has left the wire.
bool Handshake::test_new_baud(const QString& baud, quint8 hi, quint8 lo)
{
    const qint32 baud_value = baud.toInt();
    if (!link_.port_open())
        link_.open_port();
    link_.set_rx_count(0);
    link_.clear_reply();
    link_.delay_ms(20);
    if (link_.prefix_mode()) {
        link_.send_byte(Frames::kPrefix0);
        link_.send_byte(Frames::kPrefix1);
    }
    link_.set_reply_armed(true);
    link_.clear_reply();
    send_frame_bytes(test_baud_frame(baud_value, hi, lo, results_.clock_hz, model_.model_family));

    const QString remembered = link_.settings_text();
    if (link_.set_settings(baud + QStringLiteral(",n,8,1")) && link_.port_open())
        link_.wait_reply(650);
    link_.set_settings(remembered);
    return link_.reply_received();
}

bool Handshake::set_new_baud(const QString& baud, quint8 hi, quint8 lo)
{
    link_.set_rx_count(0);
    link_.clear_reply();
    link_.set_settings(QStringLiteral("1200,n,8,1"));
    if (!link_.port_open())
        link_.open_port();
    link_.delay_ms(1);
    if (link_.prefix_mode()) {
        link_.send_byte(Frames::kPrefix0);
        link_.send_byte(Frames::kPrefix1);
    }
    link_.set_reply_armed(true);
    link_.clear_reply();
    send_frame_bytes(switch_baud_frame(baud.toInt(), hi, lo, results_.clock_hz));

    link_.set_settings(baud + QStringLiteral(",n,8,1"));
    link_.Timer8.restart(800);
    link_.wait_on(link_.Timer8, [this] { return link_.reply_received(); });
    return link_.reply_received();
}

void Handshake::append_port_advice()
{
    if (!link_.serial_port())
        return;
    QString advice = port_advice::for_port(*link_.serial_port(), link_.port_device());
    // Open returned 0 but the port stayed closed: the layer raised no error of its own.
    if (advice.isEmpty())
        advice = port_advice::text(PortErrorKind::Other, link_.port_device(), {}, link_.last_open_error());
    log_.append(advice);
}

std::optional<qint32> Handshake::handshake(bool read_only)
{

    // 1. Port at 1200 baud.
    results_.connected = false;
    link_.flush_receive();
    if (link_.close_port())
        link_.close_port();
    link_.clear_reply();
    link_.set_settings(QStringLiteral("1200,n,8,1"));
    const int open_result = link_.open_port();
    link_.clear_queues();
    const QString latency_note = link_.take_low_latency_note();
    if (!latency_note.isEmpty())
        log_.append(latency_note);

    // 2. The port cannot be opened.
    if (open_result != 0 || !link_.port_open()) {
        link_.beep_times(3);
        log_.append(LogText::port_open_failed());
        log_.append(LogText::port_in_use());
        log_.append(LogText::port_in_use_zh());
        append_port_advice();
        work_.set_phase(WorkPhase::Idle);
        return std::nullopt;
    }

    // 3.
    link_.set_prefix_mode(false);
    stop_run_.Timer9.start();
    for (int i = 0; i < 2 && !link_.port_open(); ++i)
        link_.open_port();

    // With automatic power cycling the MCU is switched off now and on again once the greeting
    // runs, so its boot loader starts with 0x7F already arriving. Once Stop is pressed the board
    // is left as it is.
    const PowerCycle power = choices_.power_cycle;
    bool powered_off = false;
    if (power != PowerCycle::None && link_.serial_port() && !link_.stop_requested()) {
        power_cycle::set_power(*link_.serial_port(), power, false);
        powered_off = true;
        OneShotTimer off_time(QStringLiteral("power-off"), power_cycle::kOffMs);
        off_time.start();
        link_.wait_on(off_time, [] { return false; });
    }

    // 4. Greeting: one 0x7F 0x7F each time the one before has left the wire at 1200 baud, until
    //    the status frame is in (or stop). Nothing spins while the board is still off.
    greeting_pairs = 0;
    const QByteArray greeting(2, char(Frames::kGreeting));
    while (!link_.stop_requested() && !link_.reply_received()) {
        link_.set_reply_armed(true);
        link_.pump_events();
        link_.wait_wire_free([this] { return link_.reply_received(); });
        if (link_.stop_requested() || link_.reply_received())
            break;
        link_.write_bytes(greeting);
        if (link_.port_open())
            ++greeting_pairs;
        if (powered_off) {
            power_cycle::set_power(*link_.serial_port(), power, true);
            powered_off = false;
        }
        link_.pump_events();
        // The adapter went away under the greeting and cannot be opened again: the attempt ends
        // as it does for a port that cannot be opened.
        if (link_.port_lost() && !link_.port_open() && !link_.stop_requested() && link_.open_port() != 0) {
            if (powered_off && link_.serial_port())
                power_cycle::set_power(*link_.serial_port(), power, true);
            link_.beep_times(3);
            log_.append(LogText::port_open_failed());
            log_.append(LogText::port_in_use());
            log_.append(LogText::port_in_use_zh());
            append_port_advice();
            work_.set_phase(WorkPhase::Idle);
            return std::nullopt;
        }
        // A port that is gone (and not back) has no wire to wait for: pace by the pair's time.
        if (!link_.port_open()) {
            OneShotTimer pace(QStringLiteral("greeting"), kGreetingWireMs);
            pace.start();
            link_.wait_on(pace, [this] { return link_.reply_received(); });
        }
    }

    // A stop before the first greeting leaves the board powered as it was found.
    if (powered_off && link_.serial_port())
        power_cycle::set_power(*link_.serial_port(), power, true);

    // 5.
    if (link_.stop_requested()) {
        stop_line();
        return std::nullopt;
    }

    // 6. Empty both queues; the port stays open at 1200 baud.
    link_.clear_queues();
    stop_run_.Timer9.stop();

    const auto& f = link_.rx_frame();
    // 7. Clock.
    quint16 counts[8];
    for (int i = 0; i < 8; ++i)
        counts[i] = quint16(f[4 + 2 * i] * 256 + f[5 + 2 * i]);
    results_.clock_hz = float(clock_from_counts(counts));

    // 8.
    results_.chip_id_known = false;
    status_.double_speed = false;
    status_.mcu_type_name.clear();

    // 9. Identity and status display.
    const int length = f[2];
    if (length >= 25) {
        results_.chip_id_hex = hex2(f[23]);
        results_.chip_id_known = true;
        if (length > 25) {
            if (results_.chip_id_hex == QLatin1String("F0") || results_.chip_id_hex == QLatin1String("F1"))
                results_.chip_subid_hex = hex2(f[24]);
            status_.mcu_type_name = model_name_for(results_.chip_id_hex, results_.chip_subid_hex);
        }
        status_.option_byte = f[22];
        report_.show_mcu_status(f[20], f[21], f[22]);
        report_.show_status_panel(f[20], f[21], f[22], 0);
        if (read_only) {
            results_.status_read_ok = true;
            return 0;
        }
    }

    // 10. Extended option byte.
    status_.extended_status = false;
    if (length > 27 && f[20] >= 0x26) {
        const bool protect = (f[25] & 0x80) != 0;
        status_.block_protect = protect;
        link_.set_prefix_mode(protect);
        static const quint16 sizes[4] = {1024, 1536, 2048, 2560};
        status_.reserved_top_size = sizes[f[25] & 0x03];
        status_.extended_status = true;
    }

    // 11. Read-only with a short status frame: ask for the status.
    if (read_only) {
        link_.clear_queues();
        log_.append(QStringLiteral("We are Reading Chip Lock./ 正在读加密位,双倍速,版本号"));
        for (int i = 0; i < 4; ++i) {
            results_.status_read_ok = report_.query_status(false);
            if (link_.reply_received() || link_.stop_requested())
                break;
        }
        if (link_.stop_requested()) {
            stop_line();
            return std::nullopt;
        }
        if (!results_.status_read_ok) {
            fail_with_time();
            return std::nullopt;
        }
        return 0;
    }

    if (identified && !identified()) {
        link_.beep_times(3);
        return std::nullopt;
    }

    // 12. Watchdog pin.
    log_.append(QStringLiteral("We are trying to run more rapid ..."));
    log_.append(QStringLiteral("Chinese:正在尝试用更高的波特率连接 ..."));
    if (!send_extern_WDT_address()) {
        if (link_.stop_requested()) {
            stop_line();
        } else {
            link_.beep_times(3);
            log_.append(QStringLiteral("Handshake is failed. / 握手失败"));
        }
        return std::nullopt;
    }

    // 13. Negotiation.
    qint16 index = 100;
    qint16 count = 0;
    qint32 candidate = 0;
    bool found = false;
    bool tries_exhausted = false;
    int attempts = 0;
    const qint32 clock = qint32(std::lround(results_.clock_hz));
    while (!found && index > 0 && attempts < 4) {
        const std::optional<BaudChoice> choice = calculate_baud(clock, index, choices_.max_baud);
        if (!choice) {
            fail_with_time();
            return std::nullopt;
        }
        index = choice->index;
        candidate = choice->baud;
        count = choice->count;
        link_.set_baud_error_pct(choice->error_pct);
        // Can the PC port take this baud? Tried in place on the open port.
        const QString remembered = link_.settings_text();
        const bool refused = !link_.set_settings(QString::number(candidate) + QStringLiteral(",n,8,1"));
        link_.set_settings(remembered);
        if (refused)
            continue;

        ++attempts;
        if (!link_.port_open())
            link_.open_port();
        const qint32 reload = 65536 - count;
        const quint8 lo = quint8(reload % 256);
        const quint8 hi = quint8(reload / 256);
        link_.flush_receive();
        tries_exhausted = true;
        for (int t = 0; t < 3; ++t) {
            if (test_new_baud(QString::number(candidate), hi, lo)) {
                found = true;
                tries_exhausted = false;
                break;
            }
            if (link_.stop_requested())
                break;
        }
        if (link_.stop_requested()) {
            stop_line();
            return std::nullopt;
        }
    }

    // 14.
    if (link_.stop_requested()) {
        stop_line();
        return std::nullopt;
    }
    if (!found) {
        if (attempts > 3 || tries_exhausted) {
            fail_with_time();
            return std::nullopt;
        }
        derive_alternate_reload();
        return link_.current_baud();
    }

    // 15. Switch both ends.
    const qint32 reload = 65536 - count;
    const quint8 lo = quint8(reload % 256);
    const quint8 hi = quint8(reload / 256);
    results_.baud_reload_lo = lo;
    results_.baud_reload_hi = hi;
    link_.flush_receive();
    bool switched = false;
    for (int t = 0; t < 3 && !switched; ++t) {
        switched = set_new_baud(QString::number(candidate), hi, lo);
        if (link_.stop_requested())
            break;
    }
    if (link_.stop_requested()) {
        stop_line();
        return std::nullopt;
    }
    link_.flush_receive();
    if (!switched) {
        fail_with_time();
        return std::nullopt;
    }

    // 16.
    derive_alternate_reload();
    return candidate;
}

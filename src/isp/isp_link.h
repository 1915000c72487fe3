#pragma once
// IspLink: the one serial line between the PC and the boot loader. It owns the port and its
// settings, the byte-level send primitives with their running checksums and pacing, the receive
// handler that assembles reply and custom frames, the link timers and the waits.
//
// Waiting: every wait runs a nested QEventLoop until its condition holds; received bytes, timer
// ticks and stop requests are handled meanwhile and wake the loop. Nothing spins.
//
// Pacing: the bytes go out as an ideal UART with a FIFO would put them on the wire, by the clock
// (PacedWriter), never by the driver's transmit count.
//
// Opening: a board's road opens the device once. Closing the port closes it for the link at once
// but keeps the device a moment (kLingerMs) so that the opens right after (the run command after
// a stop) need no new open; settings change in place on the open device.

#include "base/one_shot_timer.h"
#include "isp/paced_writer.h"
#include "isp/serial_port.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <utility>

class UserDialogs;

class IspLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kFrameCapacity = 301;   // rx_frame indices 0..300
    // How long the device stays open after the link closed the port.
    static constexpr int kLingerMs = 1000;
    // The fixed gap before a checksum byte, in busy-wait passes.
    static constexpr quint32 kChecksumGapLoops = 1001;

    IspLink(SerialPort* port, UserDialogs* dialogs, QObject* parent = nullptr);
    ~IspLink() override;

    SerialPort* serial_port() const { return port_; }

    // ---- Port choice and settings -------------------------------------------------------------
    // The device the COM choice maps to ("/dev/ttyUSB0", a pseudo-terminal path, "COM3" on Windows).
    void set_port_device(const QString& device) { device_ = device; }
    const QString& port_device() const { return device_; }
    // The `Settings` text of the port ("1200,n,8,1"). Setting it on an open port applies it in
    // place once the bytes sent so far have left the wire; false (and the old settings kept) when
    // the text is malformed or the port refuses it.
    bool set_settings(const QString& text);
    QString settings_text() const;
    qint32 current_baud() const;   // the number at the start of the settings text

    bool port_open() const;
    // The port failed under us (device vanished) and has not been opened again since.
    bool port_lost() const { return port_lost_; }
    void configure_port();
    // 0 = open, -1 = refused without an error, > 0 = the port layer's error number (and
    // last_open_error() names the port and the reason).
    int open_port();
    bool close_port();             // true if still open afterwards
    void reopen_port();
    // Closes the device itself now when the link has closed the port (the end of a board).
    void release_port();
    void close_port_on_exit();
    void flush_receive();
    // Empties the receive queue and the transmit queue (InBufferCount/OutBufferCount = 0); the
    // latter holds nothing here, as bytes are written only when the line takes them.
    void clear_queues();
    QString last_open_error() const { return last_open_error_; }
    // Opens of the device itself (a reopen in place does not count).
    int device_opens() const { return physical_opens_; }
    // What the last open of the device said about its latency (empty when nothing is to be said);
    // handed out once.
    QString take_low_latency_note() { return std::exchange(low_latency_note_, QString()); }

    // ---- Sending ------------------------------------------------------------------------------
    void send_byte(quint8 b, int delay_ms_before = 0);
    void send_checksum();
    void send_byte_spaced(quint8 b, quint32 loops);
    void send_checksum_spaced();
    // Sends `count` bytes one after another as the line takes them, each `gap_loops` busy-wait
    // passes (converted to time) after the one before; no checksum is kept.
    void send_paced(const char* bytes, int count, quint32 gap_loops);
    // Writes bytes in one write (the short commands, custom frames, greeting, trigger).
    void write_bytes(const QByteArray& bytes);
    // Waits (event loop) until the line has room for another byte (the transmit queue of an ideal
    // UART is empty) or stop is requested.
    void wait_transmit_empty(bool stoppable = true);
    // Waits (event loop) until the bytes sent so far have left the wire, `done` holds or stop.
    void wait_wire_free(const std::function<bool()>& done = {});
    const PacedWriter& writer() const { return writer_; }
    // The short commands 0x80, 0x81, 0x82 as one six-byte write (port opened when closed).
    // 0 when sent; -1 for any other code or when the port cannot be opened.
    int send_short_command(quint8 code);
    // An eight-byte custom frame with `code`: after an empty transmit queue and 20 ms, one write.
    void send_custom_command(quint8 code);
    void compute_byte_gap(const QString& settings_text);
    void calibrate_delay_loop();
    // Takes a figure kept from an earlier calibration when it is plausible for this machine (in
    // range, and a short timed count agrees with it); false leaves loops_per_ms as it was.
    bool adopt_loops_per_ms(quint32 stored);

    // ---- Timers and waits ---------------------------------------------------------------------
    void delay_ms(int ms);                 // Timer6; 0 returns at once without touching the timer
    void beep_times(int n);                // n beeps, each followed by Timer_beep's 150 ms
    void start_block_reply_timer(double clock_hz);
    // Runs the event loop until `done()` is true, `timer` has ticked (disabled itself) or the
    // relevant stop flag is set. Returns done().
    bool wait_on(OneShotTimer& timer, const std::function<bool()>& done);
    // The standard reply wait: Timer7 restarted with `ms`, until reply_received (custom mode:
    // custom_reply_received()) or the stop flag. Returns the awaited flag.
    bool wait_reply(int ms);
    // Pumps events once (for the greeting loop's "pump events").
    void pump_events();
    // Waits until `timer` has ticked (the countdowns; stop flags ignored).
    void wait_tick(OneShotTimer& timer);

    OneShotTimer Timer6{QStringLiteral("Timer6"), 200};
    OneShotTimer Timer7{QStringLiteral("Timer7"), 200};
    OneShotTimer Timer8{QStringLiteral("Timer8"), 200};
    OneShotTimer Timer_beep{QStringLiteral("Timer_beep"), 150};
    OneShotTimer Timer10{QStringLiteral("Timer10"), 1000};

    // ---- Receiving ----------------------------------------------------------------------------
    void on_ready_read();                 // the receive handler (runs on ready_read)
    int get_received_frame(std::array<quint8, kFrameCapacity>& frame) const; // returns rx_count
    void clear_prefix_mode_flags();        // prefix_mode and the receiver's prefix progress

    // ---- Link state ----------------------------------------------------------------------------
    // The frame being received (rx_count bytes of rx_frame so far, or the last whole frame).
    const std::array<quint8, kFrameCapacity>& rx_frame() const { return rx_frame_; }
    qint16 rx_count() const { return rx_count_; }
    void set_rx_count(qint16 n) { rx_count_ = n; }
    // Reply frames are taken only once a command has armed the receiver.
    bool reply_armed() const { return reply_armed_; }
    void set_reply_armed(bool on) { reply_armed_ = on; }
    // Custom frames (custom download) instead of the boot loader's reply frames.
    bool custom_frame_mode() const { return custom_frame_mode_; }
    void set_custom_frame_mode(bool on) { custom_frame_mode_ = on; }
    // Every command is preceded by the two prefix bytes (chips that protect their boot loader).
    bool prefix_mode() const { return prefix_mode_; }
    void set_prefix_mode(bool on) { prefix_mode_ = on; }
    bool prefix_first_seen() const { return prefix_first_seen_; }
    bool prefix_second_seen() const { return prefix_second_seen_; }
    // The running checksum of send_byte (send_checksum sends its low byte) and the one the paced
    // block writes hand to send_checksum_spaced.
    quint16 tx_checksum() const { return tx_checksum_; }
    void set_tx_checksum(quint16 sum) { tx_checksum_ = sum; }
    void set_spaced_checksum(quint16 sum) { spaced_checksum_ = sum; }
    // The gap between a block's bytes and the machine's busy-wait speed, in passes.
    quint32 byte_gap_loops() const { return byte_gap_loops_; }
    quint32 loops_per_ms() const { return loops_per_ms_; }
    void set_loops_per_ms(quint32 loops) { loops_per_ms_ = loops; }
    // How far the negotiated baud is from the nominal one; compute_byte_gap reads it.
    void set_baud_error_pct(double pct) { baud_error_pct_ = pct; }

    // A whole reply frame (custom mode: a custom frame) has come in since the receiver was last
    // emptied; the senders empty it before each command.
    bool reply_received() const { return reply_received_; }
    bool custom_reply_received() const { return custom_reply_received_; }
    void clear_reply() { reply_received_ = false; }
    void clear_custom_reply() { custom_reply_received_ = false; }

    // Stop requests come from outside the wait (the Stop buttons); they wake every wait. A road
    // clears them as it starts.
    bool stop_requested() const { return stop_requested_; }
    bool custom_stop_requested() const { return custom_stop_requested_; }
    void request_stop();
    void request_custom_stop();
    void clear_stop() { stop_requested_ = false; }
    void clear_custom_stop() { custom_stop_requested_ = false; }
    // Wakes the innermost waits so they re-check their conditions.
    void wake();

signals:
    // The port failed under us (device vanished); waits end as time-outs.
    void port_failed(const QString& reason);

private:
    void reset_receiver();
    void assemble_reply();
    void assemble_custom();
    // Appends `bytes` at rx_count, never past the last index of rx_frame.
    void append_received(const QByteArray& bytes, int from = 0);
    // Runs one nested event loop until wake().
    void run_wait_loop();
    // Waits (event loop) until `at_ns` on the writer's clock, `done` holds, a port failure or (when
    // `stoppable`) stop. The bytes already sent leave the wire before a close or a new baud, stop
    // or not: that wait is short and bounded.
    bool wait_until(qint64 at_ns, const std::function<bool()>& done = {}, bool stoppable = true);
    qint64 gap_ns(quint32 loops) const;
    // Processes pending events when some time has passed since the last pump (cheap otherwise).
    void pump_now_and_then();
    void on_port_failed(const QString& reason);
    bool relevant_stop() const { return custom_frame_mode_ ? custom_stop_requested_ : stop_requested_; }

    SerialPort* port_;
    UserDialogs* dialogs_;
    QString device_;
    SerialFormat format_;
    PacedWriter writer_;
    QTimer linger_;                        // closes the held device
    QString open_device_;                  // the device port_ has open
    bool closed_in_place_ = false;         // closed for the link, the device still held
    int physical_opens_ = 0;
    QString low_latency_note_;
    QString last_open_error_;
    int expected_length_ = 0;
    struct WaitStack;
    std::unique_ptr<WaitStack> waits_;
    quint64 port_failures_ = 0;            // counts port failures; a wait ends when it changes
    bool port_lost_ = false;               // failed under us and not opened again since
    bool in_receive_handler_ = false;
    std::array<quint8, kFrameCapacity> rx_frame_{};
    qint16 rx_count_ = 0;
    bool reply_armed_ = false;
    bool custom_frame_mode_ = false;
    bool prefix_mode_ = false;
    bool prefix_first_seen_ = false;
    bool prefix_second_seen_ = false;
    quint16 tx_checksum_ = 0;
    quint16 spaced_checksum_ = 0;
    quint32 byte_gap_loops_ = 0;
    quint32 loops_per_ms_ = 0;
    double baud_error_pct_ = 0;
    bool reply_received_ = false;
    bool custom_reply_received_ = false;
    bool stop_requested_ = false;
    bool custom_stop_requested_ = false;
};

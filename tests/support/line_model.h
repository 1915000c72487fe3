#pragma once
// The line model around one simulated board, for the end-to-end tests and the benchmarks:
// zvkisp-sim behind zvkisp-line (each direction carried at the tool's baud, replies handed over in
// ticks when a receive latency is given), and the environment that preloads the port shim into
// zvkisp-cli (it watches the port and counts its opens; with `usb` set it behaves as a USB serial
// adapter's driver: transmit count in flight, low latency accepted or refused).

#include "support/sim_process.h"

#include <QProcessEnvironment>
#include <QStringList>

class LineRig {
public:
    // $ZVKISP_LINE / $ZVKISP_LINE_SHIM, else the build tree's.
    static QString relay_binary();
    static QString shim_library();

    // Starts the board with `sim_args` and, for rx_latency_ms >= 0, the relay in front of it
    // (the board then answers without a wire of its own); rx_latency_ms < 0 leaves the board on
    // its bare pseudo-terminal. With `realtime` (and the right to) both run under a real-time
    // scheduling class, as hardware keeps its time whatever else the PC does.
    bool start(const QStringList& sim_args, int rx_latency_ms, bool realtime = false);
    // The device the tool opens.
    QString port() const { return relay.running() ? relay.port() : sim.port(); }

    // zvkisp-cli's environment: the shim watching `ports`; `usb` empty (a plain line), "accept" or
    // "refuse" (low latency); its report appended to `report`.
    static QProcessEnvironment cli_environment(const QStringList& ports, const QString& usb, const QString& report);
    // Sums a number field over the report's lines that start with `prefix` ("port /dev/pts/3 opens").
    static qint64 report_sum(const QString& report, const QString& prefix);

    SimProcess sim;
    SimProcess relay;
};

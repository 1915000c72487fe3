#pragma once
// The one line of advice that follows the port-open failure lines: what went wrong with which
// device, and the usual fix.

#include "isp/serial_port.h"

#include <QString>

namespace port_advice {

// The advice for a failure of `kind` on `device`. `group` is the group that owns the device (for
// a refused permission; empty gives "dialout"); `detail` the port layer's own text (for Other).
// Empty for PortErrorKind::None.
QString text(PortErrorKind kind, const QString& device, const QString& group = {}, const QString& detail = {});

// The advice for the last open of `port` on `device`, the device's group looked up.
QString for_port(const SerialPort& port, const QString& device);

// The line for a driver that refused low latency on `device` (kernel name `tty`, `reason` its error
// text) while the adapter hands replies over every `latency_ms` (0: not known): what it costs and
// how to fix it.
QString low_latency_refused(const QString& device, const QString& tty, const QString& reason, int latency_ms);

} // namespace port_advice

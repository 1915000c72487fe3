#pragma once
// From the COM choice the user makes ("COM1".."COM8", or a device path) to the device to open.

#include <QString>
#include <QStringList>

// A text with '/' is a device path and names itself. "COMn" (n = 1..8): on Windows the port of
// that name; elsewhere the n-th serial device found, USB adapters (ttyUSB*, ttyACM*) first, then
// the others, and /dev/ttyS<n-1> when there is no n-th device. Any other text is returned as is.
QString resolve_port_device(const QString& text);

// The devices in the order COM1, COM2, ... map to them (elsewhere than Windows).
QStringList ordered_serial_devices();

// One line per COM name: "COM1 -> /dev/ttyUSB0".
QStringList list_com_mapping();

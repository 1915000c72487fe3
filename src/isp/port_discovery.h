#pragma once
// What a bench has plugged in: the serial devices with their USB identity and the COM name each
// maps to, and the choice of "auto" (the one USB serial adapter present).

#include <QList>
#include <QStringList>
#include <QString>

struct SerialDeviceInfo {
    QString path;            // /dev/ttyUSB0
    QString description;     // "FT232R USB UART"
    QString manufacturer;
    QString serial_number;
    bool usb = false;        // carries a USB vendor id
    quint16 vendor_id = 0;
    quint16 product_id = 0;
    QString com_name;        // "COM1".."COM8" when a COM choice maps to it, else empty

    // "0403:6001", or "-" for a device without USB identity.
    QString usb_id() const;
};

// The serial devices found now, in COM order (USB adapters first).
QList<SerialDeviceInfo> serial_devices();

// From the devices to the port behind "auto": the only USB adapter. False (and `error` lists the
// candidates, or says none is there) otherwise.
bool pick_auto_port(const QList<SerialDeviceInfo>& devices, QString& device, QString& error);

// The table "zvkisp-cli ports" prints: a header and one line per device.
QStringList format_device_table(const QList<SerialDeviceInfo>& devices);

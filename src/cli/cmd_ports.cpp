// zvkisp-cli ports: the serial devices present, with their USB identity and the COM name that
// maps to each.
#include "cli/commands.h"

#include "isp/port_discovery.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>

int cmd_ports(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "List the serial devices found: device path, the COM name that selects it (COM1..COM8),\n"
        "USB vendor:product id and description. '--port auto' picks the only USB adapter.\n"
        "Example: zvkisp-cli ports"));
    parser.addHelpOption();
    if (!parser.parse(args)) {
        std::fprintf(stderr, "zvkisp-cli ports: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print_command_help(parser, QStringLiteral("ports"));
        return 0;
    }
    const QList<SerialDeviceInfo> devices = serial_devices();
    QTextStream out(stdout);
    if (devices.isEmpty()) {
        out << "No serial devices found.\n";
        return 0;
    }
    for (const QString& line : format_device_table(devices))
        out << line << "\n";
    QString chosen;
    QString error;
    if (pick_auto_port(devices, chosen, error))
        out << "\n--port auto uses " << chosen << "\n";
    return 0;
}

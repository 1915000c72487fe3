// zvkisp-cli connect: the connect step of a download (handshake, baud negotiation, status, clock
// and model check) without erasing or programming; the MCU is then let run.
#include "cli/commands.h"

#include "cli/cli_session.h"

#include <QCommandLineParser>

#include <cstdio>

int cmd_connect(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Connect to the MCU as a download would (handshake, fastest baud, model check), then stop.\n"
        "Exit status 0 when the connection was made. --model auto picks the model from the identity\n"
        "the chip reports and names it on standard error.\n"
        "Example: zvkisp-cli connect --port /dev/ttyUSB0 --model ZVK7H64B+ --power-cycle dtr"));
    parser.addHelpOption();
    CliSession::add_common_options(parser);
    if (!parser.parse(args)) {
        std::fprintf(stderr, "zvkisp-cli connect: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print_command_help(parser, QStringLiteral("connect"));
        return 0;
    }
    CliSession session;
    session.model_auto_allowed = true;
    QString error;
    if (!session.apply_common_options(parser, error)) {
        std::fprintf(stderr, "zvkisp-cli connect: %s\n", qPrintable(error));
        return 2;
    }
    session.install_stop_on_interrupt();
    session.calibrate();

    session.bench.link.clear_stop();
    const bool connected = session.bench.connection.connect_to_mcu(false) == ConnectOutcome::Connected;
    session.report_port_error();
    session.bench.stop_run.stop_download();

    if (session.quiet)
        session.print_verdict(connected);
    return exit_code(session.status_after(connected));
}

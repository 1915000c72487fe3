// zvkisp-cli test-option: Test Option (read firmware version, options and clock), with the
// message log printed line by line.
#include "cli/commands.h"

#include "cli/cli_session.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cstdio>

int cmd_test_option(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Test Option: connect to the MCU, read its firmware version, options and clock, and let it run.\n"
        "Exit status 0 when the chip lock or firmware version was read.\n"
        "Example: zvkisp-cli test-option --port auto --model ZVK7H64B+"));
    parser.addHelpOption();
    CliSession::add_common_options(parser);
    parser.addOption(QCommandLineOption(QStringLiteral("wdt-pin"),
                                        QStringLiteral("Feed an external watchdog from this pin (P0.0..P4.3)."),
                                        QStringLiteral("Pn.m")));
    if (!parser.parse(args)) {
        std::fprintf(stderr, "zvkisp-cli test-option: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print_command_help(parser, QStringLiteral("test-option"));
        return 0;
    }

    CliSession session;
    QString error;
    if (!session.apply_common_options(parser, error)) {
        std::fprintf(stderr, "zvkisp-cli test-option: %s\n", qPrintable(error));
        return 2;
    }
    if (parser.isSet(QStringLiteral("wdt-pin"))) {
        const QString pin = parser.value(QStringLiteral("wdt-pin"));
        static const QRegularExpression pin_re(QStringLiteral("^P([0-3]\\.[0-7]|4\\.[0-3])$"));
        if (!pin_re.match(pin).hasMatch()) {
            std::fprintf(stderr, "zvkisp-cli test-option: --wdt-pin must be P0.0 .. P4.3\n");
            return 2;
        }
        session.bench.choices.wdt_pin_enabled = true;
        session.bench.choices.wdt_pin = pin;
        session.bench.controls.wdt_pin_option_selected = true;
    }
    session.install_stop_on_interrupt();

    session.bench.connection.comReadChipLock_Click();
    session.report_port_error();

    if (session.interrupted())
        return 130;
    const bool ok = session.log_has_line(QStringLiteral("Read Chip Lock OK. / 读加密位、双倍速成功.")) ||
                    session.log_has_line(QStringLiteral("Read MCU Firmware Version OK. / 读版本号成功."));
    return ok ? 0 : 1;
}

// zvkisp-cli test-option: Test Option (read firmware version, options and clock), with the
// message log printed line by line.
#include "cli/commands.h"

#include "cli/cli_session.h"
#include "base/log_texts.h"

#include <QCommandLineParser>

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
    // Test Option reads only and sends no watchdog pin: refused rather than ignored.
    QCommandLineOption wdt_pin(QStringLiteral("wdt-pin"), QString(), QStringLiteral("Pn.m"));
    wdt_pin.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(wdt_pin);
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
        std::fprintf(stderr, "zvkisp-cli test-option: --wdt-pin is not taken: Test Option sends no watchdog pin "
                             "(a download does) / 测试选项不发送看门狗引脚\n");
        return exit_code(ExitStatus::Usage);
    }
    session.install_stop_on_interrupt();

    session.bench.connection.test_option();
    session.report_port_error();

    const bool ok = session.log_has_line(LogText::chip_lock_read_ok()) ||
                    session.log_has_line(LogText::firmware_read_ok());
    if (session.quiet)
        session.print_verdict(ok);
    return exit_code(session.status_after(ok));
}

// zvkisp-cli custom-download: the "ISP DEMO" page. Downloads FILE into a running application
// through its own download routine (custom frames), optionally after sending it a trigger command.
#include "cli/commands.h"

#include "cli/cli_session.h"
#include "cli/custom_cli.h"
#include "cli/download_options.h"
#include "custom/custom_download.h"
#include "settings/combo_lists.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {

const char* const kName = "zvkisp-cli custom-download";

int usage_error(const QString& text)
{
    return cli_usage_error(kName, text);
}

} // namespace

int cmd_custom_download(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Download FILE into a running application through its in-application download routine:\n"
        "synchronise, read the chip identity, erase, program and verify, finish (0xB1 twice).\n"
        "With --trigger the application is first sent that command at --trigger-format.\n"
        "Exit status 0 only when every board that answered ended with \"Program OK\".\n"
        "With --repeat, boards are downloaded one after another until Ctrl-C (the Stop button).\n"
        "Example: zvkisp-cli custom-download app.hex --port /dev/ttyUSB0 --model ZVK7H64B+ \\\n"
        "           --download-format 38400,E,8,1 --trigger \"12 34 56 78\""));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Program file (Intel HEX or binary)."));
    CliSession::add_common_options(parser);
    const QList<QCommandLineOption> options = {
        {QStringLiteral("download-format"),
         QStringLiteral("Serial format of the download routine, BAUD,P,D,S (for example 38400,E,8,1)."),
         QStringLiteral("BAUD,P,D,S")},
        {QStringLiteral("trigger"), QStringLiteral("Trigger command sent to the application first (hex text)."),
         QStringLiteral("HEX")},
        {QStringLiteral("trigger-format"),
         QStringLiteral("Serial format of the trigger command (default 38400,E,8,1)."), QStringLiteral("BAUD,P,D,S"),
         QStringLiteral("38400,E,8,1")},
        {QStringLiteral("repeat"), QStringLiteral("One board after another until Ctrl-C.")},
        {QStringLiteral("pause"), QStringLiteral("Seconds between boards with --repeat (default 5)."),
         QStringLiteral("SECONDS"), QStringLiteral("5")},
        {QStringLiteral("start"), QStringLiteral("Buffer start address for the file, hexadecimal (default 0)."),
         QStringLiteral("HEX"), QStringLiteral("0")},
        {QStringLiteral("fill"), QStringLiteral("Fill byte of the buffer: FF or 00 (default 00)."),
         QStringLiteral("FF|00"), QStringLiteral("00")},
        {QStringLiteral("beep"), QStringLiteral("Beep after each good board: yes or no (default yes)."),
         QStringLiteral("yes|no"), QStringLiteral("yes")},
        force_option(),
    };
    parser.addOptions(options);
    if (!parser.parse(args))
        return usage_error(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        print_command_help(parser, QStringLiteral("custom-download"));
        return 0;
    }
    QString error;
    QString file;
    if (!single_file_argument(parser, file, error))
        return usage_error(error);
    if (!parser.isSet(QStringLiteral("download-format")))
        return usage_error(QStringLiteral("--download-format is required"));

    FormatTexts download;
    if (!parse_format_option(parser.value(QStringLiteral("download-format")), ComboLists::demo_baud(), download,
                             error))
        return usage_error(QStringLiteral("--download-format: ") + error);
    FormatTexts trigger;
    if (!parse_format_option(parser.value(QStringLiteral("trigger-format")), ComboLists::demo_baud(), trigger, error))
        return usage_error(QStringLiteral("--trigger-format: ") + error);
    const QString beep = parser.value(QStringLiteral("beep")).trimmed().toLower();
    if (beep != QLatin1String("yes") && beep != QLatin1String("no"))
        return usage_error(QStringLiteral("--beep takes yes or no"));
    BufferOptions buffer;
    if (!parse_buffer_options(parser, buffer, error))
        return usage_error(error);

    CliSession session;
    if (!session.apply_common_options(parser, error))
        return usage_error(error);
    Workbench& bench = session.bench;
    if (bench.model.model_family != 2)
        return usage_error(QStringLiteral("the custom download is offered for A and B+ models only"));

    // The program image, loaded as the window loads it.
    BenchImageTools tools(bench, &session.dialogs);
    if (const int status = load_into_bench(kName, bench, tools, buffer, file))
        return status;

    CustomDownload custom(bench);
    custom.set_image_tools(&tools.serial);
    custom.download_baud = download.baud;
    custom.download_parity = download.parity;
    custom.download_data_bits = download.data_bits;
    custom.download_stop_bits = download.stop_bits;
    custom.trigger_baud = trigger.baud;
    custom.trigger_parity = trigger.parity;
    custom.trigger_data_bits = trigger.data_bits;
    custom.trigger_stop_bits = trigger.stop_bits;
    custom.send_trigger = parser.isSet(QStringLiteral("trigger"));
    custom.trigger_text = parser.value(QStringLiteral("trigger"));
    bench.runner.choices.redownload_delay_text = parser.value(QStringLiteral("pause"));
    bench.runner.choices.beep_on_success = beep == QLatin1String("yes");

    const bool repeat = parser.isSet(QStringLiteral("repeat"));
    custom.board_finished = [&](bool ok) {
        session.board_done();
        if (session.quiet)
            session.print_verdict(ok);
        if (repeat)
            std::fprintf(stderr, "%s: board %d %s\n", kName, custom.boards_done + custom.boards_failed,
                         ok ? "programmed" : "failed");
    };

    session.calibrate();
    // Ctrl-C is this page's Stop button.
    QObject::connect(&session, &CliSession::interrupt_received, [&custom] { custom.stop_custom(); });
    session.install_stop_on_interrupt();
    custom.run_custom_download(repeat);
    const bool all_good = custom.boards_done > 0 && custom.boards_failed == 0;
    // With --repeat, Ctrl-C or --timeout while waiting for the next board ends the batch.
    if (repeat && custom.boards_done + custom.boards_failed > 0 && !session.stopped_with_board_in_hand())
        return exit_code(all_good ? ExitStatus::Ok : ExitStatus::BoardFailed);
    return exit_code(session.status_after(all_good));
}

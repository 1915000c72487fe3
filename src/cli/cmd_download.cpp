// zvkisp-cli download: the window's Download (or, with --repeat, Re-Download) with the message
// log printed line by line.
#include "cli/commands.h"

#include "cli/board_report.h"
#include "cli/cli_session.h"
#include "cli/download_options.h"
#include "cli/download_run.h"
#include "cli/gang_download.h"
#include "device/board_recorder.h"
#include "device/job.h"
#include "device/numbered_board.h"
#include "device/serial_pool.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

#include <cstdio>

namespace {

const char* const kName = "zvkisp-cli download";

int usage_error(const QString& text)
{
    return cli_usage_error(kName, text);
}

// yes|no options: true for "yes".
bool yes_no(const QCommandLineParser& parser, const QString& name, bool fallback, bool& value, QString& error)
{
    if (!parser.isSet(name)) {
        value = fallback;
        return true;
    }
    const QString v = parser.value(name).trimmed().toLower();
    if (v == QLatin1String("yes"))
        value = true;
    else if (v == QLatin1String("no"))
        value = false;
    else {
        error = QStringLiteral("--%1 takes yes or no").arg(name);
        return false;
    }
    return true;
}

} // namespace

int cmd_download(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Download FILE (Intel HEX or binary) into the MCU: connect, erase, program and verify, write the\n"
        "options and start the program. Exit status 0 only when the download ended with \"Program OK\".\n"
        "A doubtful FILE (bad checksum, malformed line, unknown record, text, data beyond the model's\n"
        "flash) is refused with exit status 4 before the port opens, unless --force is given.\n"
        "With --repeat, boards are downloaded one after another (Re-Download) until Ctrl-C, --count\n"
        "good boards or --timeout while waiting for the next board; the batch exits 0 when every\n"
        "board it programmed succeeded.\n"
        "Give --port several times to program one board per port at the same time (gang programming):\n"
        "each port's log lines come prefixed with its name, a summary follows, and the serial number\n"
        "is one counter shared by all ports.\n"
        "Example: zvkisp-cli download blink.hex --port /dev/ttyUSB0 --model ZVK7H64B+ --max-baud 57600\n"
        "Example: zvkisp-cli download blink.hex --port /dev/ttyUSB0 --port /dev/ttyUSB1 --model ZVK7H64B+ --repeat"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Program file (Intel HEX or binary)."));
    CliSession::add_common_options(parser);
    const QList<QCommandLineOption> options = {
        {QStringLiteral("start"), QStringLiteral("Buffer start address for the file, hexadecimal (default 0)."),
         QStringLiteral("HEX"), QStringLiteral("0")},
        {QStringLiteral("fill"), QStringLiteral("Fill byte of the buffer: FF or 00 (default 00)."),
         QStringLiteral("FF|00"), QStringLiteral("00")},
        {QStringLiteral("double-speed"), QStringLiteral("Double speed (6 clocks): yes or no (default no)."),
         QStringLiteral("yes|no")},
        {QStringLiteral("gain"), QStringLiteral("Oscillator gain: half or full (default half)."),
         QStringLiteral("half|full")},
        {QStringLiteral("erase-data"), QStringLiteral("Erase the data flash with the application (default no)."),
         QStringLiteral("yes|no")},
        {QStringLiteral("p10-p11"),
         QStringLiteral("P1.0 and P1.1 must be tied to ground for the next download (default no)."),
         QStringLiteral("yes|no")},
        {QStringLiteral("aux-ram"), QStringLiteral("Internal expanded RAM enabled (default yes)."),
         QStringLiteral("yes|no")},
        {QStringLiteral("reset-stops-wdt"), QStringLiteral("A reset stops the watchdog (default yes)."),
         QStringLiteral("yes|no")},
        {QStringLiteral("wdt-pin"), QStringLiteral("Feed an external watchdog from this pin (P0.0..P4.3)."),
         QStringLiteral("Pn.m")},
        {QStringLiteral("serial"),
         QStringLiteral("Auto-increment serial number: low byte address (hex), byte count, next value, step, "
                        "storage format."),
         QStringLiteral("ADDR,BYTES,NEXT,STEP,bin|dec|ascii")},
        {QStringLiteral("repeat"), QStringLiteral("Re-Download: one board after another until Ctrl-C.")},
        {QStringLiteral("pause"), QStringLiteral("Seconds between boards with --repeat (default 5)."),
         QStringLiteral("SECONDS"), QStringLiteral("5")},
        force_option(),
    };
    parser.addOptions(options);
    parser.addOptions(run_options());
    parser.addOptions(BoardReport::options());
    if (!parser.parse(args))
        return usage_error(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        print_command_help(parser, QStringLiteral("download"));
        return 0;
    }
    QString error;
    QString file;
    if (!single_file_argument(parser, file, error))
        return usage_error(error);

    CliSession session;
    session.model_auto_allowed = parser.values(QStringLiteral("port")).size() == 1;
    if (!session.apply_common_options(parser, error))
        return usage_error(error);
    Workbench& bench = session.bench;

    // Option choices (the options page and the speed and gain choices next to the download).
    JobOptions choices;
    bool aux_ram = true, rst_wdt = true;
    if (!yes_no(parser, QStringLiteral("double-speed"), false, choices.double_speed, error) ||
        !yes_no(parser, QStringLiteral("erase-data"), false, choices.erase_data, error) ||
        !yes_no(parser, QStringLiteral("p10-p11"), false, choices.p10_p11_to_gnd, error) ||
        !yes_no(parser, QStringLiteral("aux-ram"), true, aux_ram, error) ||
        !yes_no(parser, QStringLiteral("reset-stops-wdt"), true, rst_wdt, error))
        return usage_error(error);
    choices.aux_ram_no = !aux_ram;
    choices.rst_close_wdt_no = !rst_wdt;
    if (parser.isSet(QStringLiteral("gain"))) {
        const QString g = parser.value(QStringLiteral("gain")).trimmed().toLower();
        if (g != QLatin1String("half") && g != QLatin1String("full"))
            return usage_error(QStringLiteral("--gain takes half or full"));
        choices.half_gain = g == QLatin1String("half");
    }
    // The choices that depend on the model's family: now, and again once --model auto has picked it.
    auto apply_family_options = [&, choices]() -> QString {
        const int family = bench.model.model_family;
        if (family == 1 && parser.isSet(QStringLiteral("double-speed")))
            return QStringLiteral("this model offers no double-speed choice (a programmer sets it)");
        if (family != 2 && parser.isSet(QStringLiteral("gain")))
            return QStringLiteral("--gain applies to A and B+ models only");
        choices.apply(bench);
        return {};
    };
    if (const QString refused = session.model_auto() ? QString() : apply_family_options(); !refused.isEmpty())
        return usage_error(refused);

    if (parser.isSet(QStringLiteral("wdt-pin"))) {
        const QString pin = parser.value(QStringLiteral("wdt-pin"));
        static const QRegularExpression pin_re(QStringLiteral("^P([0-3]\\.[0-7]|4\\.[0-3])$"));
        if (!pin_re.match(pin).hasMatch())
            return usage_error(QStringLiteral("--wdt-pin must be P0.0 .. P4.3"));
        bench.choices.wdt_pin_enabled = true;
        bench.choices.wdt_pin = pin;
        bench.work.set_wdt_pin_option_selected(true);
    }

    // The program image, loaded as the window loads it.
    BufferOptions buffer;
    if (!parse_buffer_options(parser, buffer, error))
        return usage_error(error);

    BenchImageTools tools(bench, &session.dialogs);
    SerialNumber& serial = tools.serial;
    if (const int status = load_into_bench(kName, bench, tools, buffer, file))
        return status;

    if (parser.isSet(QStringLiteral("serial"))) {
        const QStringList parts = parser.value(QStringLiteral("serial")).split(QLatin1Char(','));
        if (parts.size() != 5)
            return usage_error(QStringLiteral("--serial takes ADDR,BYTES,NEXT,STEP,bin|dec|ascii"));
        const QString fmt = parts.at(4).trimmed().toLower();
        int index;
        if (fmt == QLatin1String("bin"))
            index = SerialNumber::Binary;
        else if (fmt == QLatin1String("dec"))
            index = SerialNumber::Decimal;
        else if (fmt == QLatin1String("ascii"))
            index = SerialNumber::Ascii;
        else
            return usage_error(QStringLiteral("--serial format must be bin, dec or ascii"));
        for (int i = 0; i < 4; ++i)
            serial.set_field_text(i, parts.at(i).trimmed());
        serial.select_format(index);
        serial.set_checked(true);
        if (!serial.serial_active || !check_serial_option(parts, error))
            return usage_error(error.isEmpty() ? QStringLiteral("the serial number settings were refused") : error);
    }

    BoardReport report(kName);
    if (!report.configure(parser, error))
        return usage_error(error);
    if (serial.checked)
        if (const int status = report.prepare_series(serial))
            return status;
    QObject::connect(&session, &CliSession::interrupt_received, &report, &BoardReport::interrupt);

    const bool repeat = parser.isSet(QStringLiteral("repeat"));
    static const QRegularExpression seconds_re(QStringLiteral("^[0-9]{1,6}$"));
    if (!seconds_re.match(parser.value(QStringLiteral("pause")).trimmed()).hasMatch())
        return usage_error(QStringLiteral("--pause takes a whole number of seconds"));
    bench.runner.choices.redownload_delay_text = parser.value(QStringLiteral("pause")).trimmed();
    RunOptions run;
    if (!parse_run_options(parser, repeat, run, error))
        return usage_error(error);
    const QStringList ports = parser.values(QStringLiteral("port"));
    if (ports.size() > 1)
        return run_gang_download(session, serial.checked ? &serial : nullptr, ports, repeat, run, parser, report);

    // The serial number from the store's series, taken right before its bytes go out (in their place).
    std::atomic<bool> stop_numbers{false};
    const std::unique_ptr<SerialPool> pool = report.make_pool();
    std::optional<NumberedBoard> numbered;
    if (pool) {
        numbered.emplace(bench, serial, *pool, stop_numbers, false);
        QObject::connect(&session, &CliSession::interrupt_received, [&] {
            stop_numbers = true;
            pool->abandon();
        });
    }
    bench.runner.set_image_tools(&tools.loader, pool ? nullptr : &serial);
    if (numbered)
        bench.runner.set_numbers(&*numbered);
    BoardRecorder recorder(bench);
    recorder.image_name = QFileInfo(file).fileName();
    recorder.image_sha256 = BoardRecorder::file_sha256(file);
    QObject::connect(&bench.runner, &DownloadRunner::board_started, &recorder, [&] {
        recorder.port = bench.link.port_device();
        recorder.begin();
    });
    // A board ended: its record written.
    const BoardEnded ended = [&](const BoardResult& board) {
        const RecordResult result = board.ok()            ? RecordResult::Ok
                                    : session.interrupted() ? RecordResult::Interrupted
                                    : session.timed_out()   ? RecordResult::TimedOut
                                                            : RecordResult::Failed;
        report.add(recorder.finish(result, board.serial_number, pool ? pool->series_name() : QString()));
    };

    session.model_picked = [&] { return reload_for_picked_model(session, tools, buffer, file, apply_family_options()); };
    const ExitStatus status = run_download(session, &serial, repeat, run, ended);
    report.store_pending();
    return exit_code(status);
}

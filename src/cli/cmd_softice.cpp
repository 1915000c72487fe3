// zvkisp-cli softice: the "仿真芯片" page. Builds the Soft ICE monitor image from the monitor files
// and programs it (monitor body, then reset vector), then lets the monitor run.
#include "cli/commands.h"

#include "cli/cli_session.h"
#include "cli/download_options.h"
#include "models/model_catalogue.h"
#include "softice/softice_download.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {

const char* const kName = "zvkisp-cli softice";

int usage_error(const QString& text)
{
    return cli_usage_error(kName, text);
}

// The catalogue's models that have a monitor file.
QString soft_ice_models()
{
    QStringList names;
    for (const ModelRow& row : McuModelTable::rows())
        if (!row.soft_ice_rom.isEmpty())
            names << row.name;
    return names.join(QStringLiteral(", "));
}

} // namespace

int cmd_softice(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Turn the MCU into a Soft ICE chip: the monitor image is built from \"ZVK2000.rom\" and\n"
                       "the model's monitor file (ZVK64_2003.ROM or ZVK32_2003.ROM) and programmed.\n"
                       "The monitor files are looked up in $ZVKISP_DATA_DIR, the folder of this program, and\n"
                       "the installed data folders (share/zvkisp). Both questions are asked on the terminal\n"
                       "(default No) unless --yes is given.\n"
                       "Models: %1.\n"
                       "Exit status 0 only when the download ended with \"Download Soft_ICE is succeed\".\n"
                       "Example: zvkisp-cli softice --port /dev/ttyUSB0 --model ZVK7H64B")
            .arg(soft_ice_models()));
    parser.addHelpOption();
    CliSession::add_common_options(parser);
    parser.addOption(QCommandLineOption(QStringLiteral("yes"), QStringLiteral("Answer Yes to both questions.")));
    if (!parser.parse(args))
        return usage_error(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        print_command_help(parser, QStringLiteral("softice"));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage_error(QStringLiteral("no FILE is taken: the image is built from the monitor files"));

    CliSession session;
    QString error;
    if (!session.apply_common_options(parser, error))
        return usage_error(error);
    Workbench& bench = session.bench;
    if (!bench.model.soft_ice_capable)
        return usage_error(QStringLiteral("%1 cannot be made a Soft ICE chip (only %2)")
                               .arg(bench.model.combo_text, soft_ice_models()));
    session.dialogs.answer_yes = parser.isSet(QStringLiteral("yes"));
    session.dialogs.ask_on_terminal = !session.dialogs.answer_yes;

    BenchImageTools tools(bench, &session.dialogs);
    bench.image.clear_program_buffer(0x00);
    bench.image.show_memory_ranges();

    SoftIceDownload softice(bench, tools.loader);
    session.calibrate();
    session.install_stop_on_interrupt();
    softice.download_monitor();
    if (!softice.succeeded)
        session.report_port_error();
    return exit_code(session.status_after(softice.succeeded));
}

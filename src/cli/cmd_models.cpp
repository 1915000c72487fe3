// zvkisp-cli models: the MCU model catalogue, one line per model.
#include "cli/commands.h"

#include "models/model_catalogue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int cmd_models(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("List the MCU models the tool can program.\n"
                                                    "Example: zvkisp-cli models"));
    parser.addHelpOption();
    if (!parser.parse(args)) {
        std::fprintf(stderr, "zvkisp-cli models: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print_command_help(parser, QStringLiteral("models"));
        return 0;
    }
    QTextStream out(stdout);
    out << QStringLiteral("%1  %2  %3  %4  %5  %6  %7\n")
               .arg(QStringLiteral("Model"), -12)
               .arg(QStringLiteral("Family"), -6)
               .arg(QStringLiteral("AP range"), -11)
               .arg(QStringLiteral("Block"), -5)
               .arg(QStringLiteral("Code"), -4)
               .arg(QStringLiteral("Soft ICE ROM"), -14)
               .arg(QStringLiteral("List"));
    for (const ModelRow& row : McuModelTable::rows()) {
        const QString range = QStringLiteral("0000-%1").arg(row.ap_end, 4, 16, QLatin1Char('0')).toUpper();
        out << QStringLiteral("%1  %2  %3  %4  %5  %6  %7\n")
                   .arg(row.name, -12)
                   .arg(row.family, -6)
                   .arg(range, -11)
                   .arg(row.block_size, -5)
                   .arg(row.model_code.isEmpty() ? QStringLiteral("-") : row.model_code, -4)
                   .arg(row.soft_ice_rom.isEmpty() ? QStringLiteral("-") : row.soft_ice_rom, -14)
                   .arg(row.list_index >= 0 ? QString::number(row.list_index) : QStringLiteral("typed only"));
    }
    return 0;
}

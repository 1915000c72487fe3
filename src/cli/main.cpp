// zvkisp-cli: the command-line front end over the same core as the window.

#include "cli/commands.h"
#include "cli/exit_status.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <map>

namespace {

struct Command {
    const char* summary;
    std::function<int(const QStringList&)> run;
};

#ifndef ZVKISP_VERSION
#define ZVKISP_VERSION "unknown"
#endif
#ifndef ZVKISP_GIT_REVISION
#define ZVKISP_GIT_REVISION ""
#endif

int cmd_version(const QStringList&)
{
    const char* revision = ZVKISP_GIT_REVISION;
    std::printf("zvkisp-cli %s\ngit revision %s\nQt %s (built with %s)\n", ZVKISP_VERSION,
                *revision ? revision : "unknown", qVersion(), QT_VERSION_STR);
    return 0;
}

const std::map<QString, Command>& command_table()
{
    static const std::map<QString, Command> table = {
        {QStringLiteral("models"), {"list the MCU model catalogue", cmd_models}},
        {QStringLiteral("ports"), {"list the serial devices (path, COM name, USB id, description)", cmd_ports}},
        {QStringLiteral("test-option"), {"read firmware version, options and clock (Test Option)", cmd_test_option}},
        {QStringLiteral("connect"), {"connect as a download would (handshake, baud, model check), then stop", cmd_connect}},
        {QStringLiteral("download"), {"download a HEX or binary file into the MCU", cmd_download}},
        {QStringLiteral("dump"), {"load a file as the window would and print the buffer dump", cmd_dump}},
        {QStringLiteral("store"), {"write a buffer range of a loaded file as binary", cmd_store}},
        {QStringLiteral("send-user-code"), {"send the running application its download command, then download", cmd_send_user_code}},
        {QStringLiteral("custom-download"), {"download through the application's own download routine (ISP DEMO)", cmd_custom_download}},
        {QStringLiteral("softice"), {"program the Soft ICE monitor into a model that has one", cmd_softice}},
        {QStringLiteral("series"), {"shared serial-number series: list, show, create, reset", cmd_series}},
        {QStringLiteral("records"), {"production records of the boards, as JSON lines or CSV", cmd_records}},
        {QStringLiteral("version"), {"print the version, git revision and Qt version (also --version)", cmd_version}},
    };
    return table;
}

void usage(FILE* to)
{
    QTextStream out(to);
    out << "Usage: zvkisp-cli <command> [options]\n\nCommands:\n";
    // Names in a column of their own, descriptions wrapped to 80 columns beside them.
    const int indent = 19;
    for (const auto& [name, cmd] : command_table()) {
        QStringList lines{QString()};
        for (const QString& word : QString::fromUtf8(cmd.summary).split(QLatin1Char(' '))) {
            if (!lines.last().isEmpty() && lines.last().size() + 1 + word.size() > 80 - indent)
                lines.append(QString());
            lines.last() += (lines.last().isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        out << "  " << name.leftJustified(indent - 2) << lines.takeFirst() << "\n";
        for (const QString& line : lines)
            out << QString(indent, QLatin1Char(' ')) << line << "\n";
    }
    out << "\nRun 'zvkisp-cli <command> --help' for the options of a command.\n" << exit_status_help();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zvkisp-cli"));
    QCoreApplication::setOrganizationName(QStringLiteral("ZVK_ISP"));

    QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.at(1) == QLatin1String("--help") || args.at(1) == QLatin1String("-h")) {
        usage(args.size() < 2 ? stderr : stdout);
        return args.size() < 2 ? 2 : 0;
    }
    if (args.at(1) == QLatin1String("--version") || args.at(1) == QLatin1String("-V"))
        return cmd_version(args);
    const QString name = args.at(1);
    const auto it = command_table().find(name);
    if (it == command_table().end()) {
        std::fprintf(stderr, "zvkisp-cli: unknown command '%s'\n\n", qPrintable(name));
        usage(stderr);
        return 2;
    }
    QStringList sub = args.mid(2);
    sub.prepend(QStringLiteral("zvkisp-cli ") + name);
    return it->second.run(sub);
}

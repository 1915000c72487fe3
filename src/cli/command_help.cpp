// The --help text of a sub-command, with the usage line naming the command as typed.
#include "cli/commands.h"

#include <QCommandLineParser>

#include <cstdio>

void print_command_help(const QCommandLineParser& parser, const QString& command)
{
    QString text = parser.helpText();
    // Qt names the program by its path in the first line; the user typed "zvkisp-cli <command>".
    if (text.startsWith(QLatin1String("Usage: "))) {
        const int end = text.indexOf(QLatin1String(" [options]"));
        if (end > 0)
            text.replace(7, end - 7, QStringLiteral("zvkisp-cli ") + command);
    }
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

#include "cli/cli_dialogs.h"

#include <QTextStream>

#include <cstdio>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {
bool stderr_is_terminal()
{
#ifdef Q_OS_UNIX
    return isatty(STDERR_FILENO) == 1;
#else
    return false;
#endif
}
} // namespace

void CliDialogs::beep()
{
    ++beeps;
    if (qEnvironmentVariableIsSet("ZVKISP_CLI_TRACE_BEEPS")) {
        std::fputs("(beep)\n", stderr);
        std::fflush(stderr);
    } else if (stderr_is_terminal()) {
        std::fputs("\a", stderr);
        std::fflush(stderr);
    }
}

void CliDialogs::message_box(const QString& text, const QString& title, Icon)
{
    ++message_boxes;
    QTextStream err(stderr);
    if (!title.isEmpty())
        err << "[" << title << "] ";
    err << QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << "\n";
    err.flush();
}

bool CliDialogs::ask_yes_no(const QString& text, const QString& title)
{
    QTextStream err(stderr);
#ifdef Q_OS_UNIX
    if (ask_on_terminal && isatty(STDIN_FILENO) == 1) {
        if (!title.isEmpty())
            err << "[" << title << "] ";
        err << QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << " [y/N] ";
        err.flush();
        char answer[64] = {0};
        if (!std::fgets(answer, sizeof answer, stdin))
            return false;
        return answer[0] == 'y' || answer[0] == 'Y';
    }
#endif
    if (!title.isEmpty())
        err << "[" << title << "] ";
    err << QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << " -> " << (answer_yes ? "Yes" : "No")
        << "\n";
    err.flush();
    return answer_yes;
}

QString CliDialogs::choose_open_file(const QString&, const QString&, const QString&)
{
    return open_path;
}

QString CliDialogs::choose_save_file(const QString&, const QString&, const QString&)
{
    return save_path;
}

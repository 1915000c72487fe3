// The --help text of a sub-command, with the usage line naming the command as typed.
#include "cli/commands.h"
#include "cli/exit_status.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {

int indent_of(const QString& line)
{
    int n = 0;
    while (n < line.size() && line.at(n) == QLatin1Char(' '))
        ++n;
    return n;
}

// Where to cut a line longer than `width`: the last blank at or before it, outside quotes.
int cut_at(const QString& line, int width, int indent)
{
    for (int i = qMin(width, int(line.size()) - 1); i > indent; --i)
        if (line.at(i) == QLatin1Char(' ') && line.left(i).count(QLatin1Char('"')) % 2 == 0)
            return i;
    return -1;
}

} // namespace

QString fit_help_columns(const QString& text)
{
    const int width = 80;
    QStringList out;
    QString carry;   // the end of a cut line of prose, put in front of the next line of the paragraph
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (!carry.isEmpty()) {
            const bool same_paragraph = !line.trimmed().isEmpty() && indent_of(line) == indent_of(carry) &&
                                        !line.trimmed().startsWith(QLatin1String("Example:"));
            if (same_paragraph)
                line = carry + QLatin1Char(' ') + line.trimmed();
            else
                out << carry;
            carry.clear();
        }
        // An example goes on with a backslash, so that it can still be pasted into a shell.
        const bool example = line.trimmed().startsWith(QLatin1String("Example:")) || line.endsWith(QLatin1Char('\\'));
        while (line.size() > width) {
            const int cut = cut_at(line, example ? width - 2 : width, indent_of(line));
            if (cut < 0)
                break;
            if (example) {
                out << line.left(cut) + QStringLiteral(" \\");
                line = QString(indent_of(line) + 11, QLatin1Char(' ')) + line.mid(cut + 1);
            } else {
                out << line.left(cut);
                carry = QString(indent_of(line), QLatin1Char(' ')) + line.mid(cut + 1);
                line.clear();
                break;
            }
        }
        if (!line.isEmpty() || carry.isEmpty())
            out << line;
    }
    if (!carry.isEmpty())
        out << carry;
    return out.join(QLatin1Char('\n'));
}

void print_command_help(const QCommandLineParser& parser, const QString& command)
{
    QString text = parser.helpText();
    // Qt names the program by its path in the first line; the user typed "zvkisp-cli <command>".
    if (text.startsWith(QLatin1String("Usage: "))) {
        const int end = text.indexOf(QLatin1String(" [options]"));
        if (end > 0)
            text.replace(7, end - 7, QStringLiteral("zvkisp-cli ") + command);
    }
    print_help_text(text);
}

void print_help_text(const QString& text)
{
    std::fputs(fit_help_columns(text + exit_status_help()).toLocal8Bit().constData(), stdout);
}

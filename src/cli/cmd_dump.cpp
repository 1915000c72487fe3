// zvkisp-cli dump: load a file as the window would and print the whole used range as the viewer's
// dump text.

#include "cli/cli_dialogs.h"
#include "cli/commands.h"
#include "cli/image_session.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>

int cmd_dump(const QStringList& args)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Loads FILE (Intel HEX or binary) into a fresh program buffer as the window does and prints the\n"
        "dump of the whole used range to standard output; the loader's messages go to standard error.\n"
        "Example: zvkisp-cli dump blink.hex --model ZVK7H64B+"));
    p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("HEX or binary program file"));
    p.addOption({QStringLiteral("model"), QStringLiteral("MCU model (see 'zvkisp-cli models')."), QStringLiteral("NAME")});
    p.addOption({QStringLiteral("start"), QStringLiteral("Buffer start address, hexadecimal (default 0)."),
                 QStringLiteral("HEX"), QStringLiteral("0")});
    p.addOption({QStringLiteral("fill"), QStringLiteral("Unused bytes: FF or 00 (default 00)."), QStringLiteral("FF|00"),
                 QStringLiteral("00")});
    p.addOption({QStringLiteral("crlf"), QStringLiteral("Print the dump text exactly, CR LF line ends and all.")});
    if (!p.parse(args)) {
        std::fprintf(stderr, "%s\n", qPrintable(p.errorText()));
        return 2;
    }
    if (p.isSet(QStringLiteral("help"))) {
        print_command_help(p, QStringLiteral("dump"));
        return 0;
    }
    if (p.positionalArguments().size() != 1) {
        std::fputs("zvkisp-cli dump: give exactly one FILE\n", stderr);
        return 2;
    }

    CliDialogs dialogs;
    ImageSession session(&dialogs);
    QString error;
    if (!session.setup(p.value(QStringLiteral("model")), p.value(QStringLiteral("start")),
                       p.value(QStringLiteral("fill")), &error)) {
        std::fprintf(stderr, "zvkisp-cli dump: %s\n", qPrintable(error));
        return 2;
    }
    const bool ok = session.load(p.positionalArguments().first(), &error);
    if (!error.isEmpty())
        QTextStream(stderr) << "zvkisp-cli dump: " << error << "\n";

    QString text = session.whole_dump();
    if (!p.isSet(QStringLiteral("crlf")))
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextStream out(stdout);
    out << text;
    out.flush();
    return ok ? 0 : 1;
}

// zvkisp-cli store: load a file as the window would, then write a buffer range as binary through
// the store button's checks.

#include "cli/cli_dialogs.h"
#include "cli/commands.h"
#include "cli/download_options.h"
#include "cli/image_session.h"

#include "image/buffer_store.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

int cmd_store(const QStringList& args)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Loads FILE (Intel HEX or binary) as the window does, then writes the buffer bytes\n"
        "START .. START + LENGTH - 1 to the binary file BIN (replacing it). A doubtful FILE (bad\n"
        "checksum, malformed line, text, data beyond the model's flash) is refused with exit\n"
        "status 4 unless --force is given.\n"
        "Example: zvkisp-cli store blink.hex --model ZVK7H64B+ --start 0 --length 800 --out blink.bin"));
    p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("HEX or binary program file"));
    p.addOption({QStringLiteral("model"), QStringLiteral("MCU model (see 'zvkisp-cli models')."), QStringLiteral("NAME")});
    p.addOption({QStringLiteral("start"), QStringLiteral("First address to store, hexadecimal (default 0)."),
                 QStringLiteral("HEX"), QStringLiteral("0")});
    p.addOption({QStringLiteral("length"),
                 QStringLiteral("Number of bytes, hexadecimal (default: the used range, end + 1)."), QStringLiteral("HEX")});
    p.addOption({QStringLiteral("out"), QStringLiteral("Binary file to write."), QStringLiteral("BIN")});
    p.addOption({QStringLiteral("load-at"), QStringLiteral("Buffer start address for loading FILE, hexadecimal (default 0)."),
                 QStringLiteral("HEX"), QStringLiteral("0")});
    p.addOption({QStringLiteral("fill"), QStringLiteral("Unused bytes: FF or 00 (default 00)."), QStringLiteral("FF|00"),
                 QStringLiteral("00")});
    p.addOption(force_option());
    if (!p.parse(args)) {
        std::fprintf(stderr, "%s\n", qPrintable(p.errorText()));
        return 2;
    }
    if (p.isSet(QStringLiteral("help"))) {
        print_command_help(p, QStringLiteral("store"));
        return 0;
    }
    if (p.positionalArguments().size() != 1) {
        std::fputs("zvkisp-cli store: give exactly one FILE\n", stderr);
        return 2;
    }
    if (!p.isSet(QStringLiteral("out")) || p.value(QStringLiteral("out")).isEmpty()) {
        std::fputs("zvkisp-cli store: --out BIN is required\n", stderr);
        return 2;
    }

    CliDialogs dialogs;
    dialogs.save_path = QFileInfo(p.value(QStringLiteral("out"))).absoluteFilePath();
    ImageSession session(&dialogs);
    QString error;
    if (!session.setup(p.value(QStringLiteral("model")), p.value(QStringLiteral("load-at")),
                       p.value(QStringLiteral("fill")), &error)) {
        std::fprintf(stderr, "zvkisp-cli store: %s\n", qPrintable(error));
        return 2;
    }
    if (!session.load(p.positionalArguments().first(), &error, !p.isSet(QStringLiteral("force")))) {
        if (!error.isEmpty())
            QTextStream(stderr) << "zvkisp-cli store: " << error << "\n";
        return kExitBadInput;
    }
    session.image.store_start_text = p.value(QStringLiteral("start"));
    if (p.isSet(QStringLiteral("length")))
        session.image.store_length_text = p.value(QStringLiteral("length"));
    const int messages_before = dialogs.message_boxes;
    if (!session.store.store_file()) {
        if (dialogs.message_boxes == messages_before)
            std::fprintf(stderr, "zvkisp-cli store: cannot write %s\n", qPrintable(dialogs.save_path));
        return 1;
    }
    return 0;
}

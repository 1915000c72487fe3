// zvkisp-cli send-user-code: the "自定义下载" page's button. The running application is sent its
// own download command at its serial format; it resets into the boot loader, and the normal
// download (every option of 'zvkisp-cli download') follows.
#include "cli/commands.h"

#include "cli/cli_session.h"
#include "cli/download_options.h"
#include "cli/custom_cli.h"
#include "custom/user_code.h"
#include "settings/combo_lists.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>
#include <memory>

namespace {

const char* const kName = "zvkisp-cli send-user-code";

int usage_error(const QString& text)
{
    return cli_usage_error(kName, text);
}

const char* const kHelp =
    "Usage: zvkisp-cli send-user-code FILE --port DEVICE --model NAME --code HEX\n"
    "                                 --format BAUD,P,D,S [options of 'zvkisp-cli download']\n"
    "\n"
    "Sends the running application its own download command, at the application's serial format,\n"
    "then downloads FILE exactly as 'zvkisp-cli download' does (the application is expected to\n"
    "reset into the boot loader about one second after the command).\n"
    "Exit status 0 only when the download ended with \"Program OK\".\n"
    "Example: zvkisp-cli send-user-code app.hex --port /dev/ttyUSB0 --model ZVK7H64B+ \\\n"
    "           --code \"12 34 56 78 90 AB CD EF\" --format 38400,N,8,1\n"
    "\n"
    "Options:\n"
    "  --code HEX            The command as hex text: pairs of hex digits, blanks\n"
    "                        optional (\"12 34 AB\" or \"1234AB\"); an empty text sends\n"
    "                        nothing.\n"
    "  --format BAUD,P,D,S   The application's format: baud 115200..1200, parity\n"
    "                        E/O/N, data bits 8/7/6/5, stop bits 1/1.5/2 (for example\n"
    "                        38400,N,8,1).\n"
    "  --port, --model, --max-baud and every other option: see\n"
    "  'zvkisp-cli download --help'.\n";

// Takes "--name VALUE" or "--name=VALUE" out of `args`; false when the option is not there.
bool take_option(QStringList& args, const QString& name, QString& value, bool remove, QString& error)
{
    const QString flag = QStringLiteral("--") + name;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == flag) {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(flag);
                return false;
            }
            value = args.at(i + 1);
            if (remove)
                args.erase(args.begin() + i, args.begin() + i + 2);
            return true;
        }
        if (a.startsWith(flag + QLatin1Char('='))) {
            value = a.mid(flag.size() + 1);
            if (remove)
                args.removeAt(i);
            return true;
        }
    }
    return false;
}

} // namespace

int cmd_send_user_code(const QStringList& args_in)
{
    QStringList args = args_in;
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        print_help_text(QString::fromUtf8(kHelp));
        return 0;
    }
    QString error;
    QString code;
    QString format_text;
    if (!take_option(args, QStringLiteral("code"), code, true, error)) {
        return usage_error(error.isEmpty() ? QStringLiteral("--code is required") : error);
    }
    if (!take_option(args, QStringLiteral("format"), format_text, true, error))
        return usage_error(error.isEmpty() ? QStringLiteral("--format is required") : error);
    FormatTexts format;
    if (!parse_format_option(format_text, ComboLists::user_code_baud(), format, error))
        return usage_error(QStringLiteral("--format: ") + error);

    QString port_text;
    QString model_name;
    take_option(args, QStringLiteral("port"), port_text, false, error);
    take_option(args, QStringLiteral("model"), model_name, false, error);
    if (!error.isEmpty())
        return usage_error(error);

    // FILE: the first argument that names a readable file (the download checks it again).
    QString file;
    for (int i = 1; i < args.size() && file.isEmpty(); ++i) {
        const QString& a = args.at(i);
        if (!a.startsWith(QLatin1Char('-')) && QFileInfo(a).isFile() && QFileInfo(a).isReadable())
            file = a;
    }
    if (file.isEmpty())
        return usage_error(QStringLiteral("a readable FILE is required"));

    {
        // The command, on a session of its own; its port is closed (after the bytes have left)
        // before the download opens the line again.
        auto session = std::make_unique<CliSession>();
        QCommandLineParser common;
        CliSession::add_common_options(common);
        QStringList common_args{QStringLiteral("x")};
        if (!port_text.isEmpty())
            common_args << QStringLiteral("--port") << port_text;
        if (!model_name.isEmpty())
            common_args << QStringLiteral("--model") << model_name;
        if (args.contains(QStringLiteral("-q")) || args.contains(QStringLiteral("--quiet")))
            common_args << QStringLiteral("--quiet");
        if (!common.parse(common_args))
            return usage_error(common.errorText());
        if (!session->apply_common_options(common, error))
            return usage_error(error);
        // The file is checked before the application is sent its command (the download checks it again).
        BufferOptions buffer;
        buffer.start = QStringLiteral("0");
        take_option(args, QStringLiteral("start"), buffer.start, false, error);
        buffer.force = args.contains(QStringLiteral("--force"));
        if (const int status = check_program_input(kName, file, session->bench.model, buffer))
            return status;
        session->bench.image.file_loaded = true;

        UserCodeCommand command(session->bench);
        command.code_text = code;
        command.baud = format.baud;
        command.parity = format.parity;
        command.data_bits = format.data_bits;
        command.stop_bits = format.stop_bits;
        session->install_stop_on_interrupt();
        if (!command.send_user_code()) {
            session->report_port_error();
            return exit_code(session->status_after(false));
        }
        if (session->interrupted())
            return exit_code(session->status_after(false));
    }

    args[0] = QStringLiteral("zvkisp-cli download");
    return cmd_download(args);
}

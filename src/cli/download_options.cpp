#include "cli/download_options.h"

#include "device/workbench.h"
#include "base/number_text.h"
#include "image/program_file.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>

namespace {

int refuse_input(const char* command, const FileDiagnostic& diagnostic, bool strict)
{
    QTextStream err(stderr);
    err << command << ": " << diagnostic.text() << "\n";
    if (strict)
        err << command << ": "
            << "refused before anything was written to the chip; --force loads the file as the window does"
               " / 未写入芯片即拒绝；--force 按窗口的方式载入文件\n";
    return kExitBadInput;
}

} // namespace

int cli_usage_error(const char* command, const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", command, qPrintable(text));
    return 2;
}

bool single_file_argument(const QCommandLineParser& parser, QString& file, QString& error)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        error = QStringLiteral("exactly one FILE is required");
        return false;
    }
    file = positional.first();
    return true;
}

QCommandLineOption force_option()
{
    return QCommandLineOption(QStringLiteral("force"),
                              QStringLiteral("Load FILE as the window does: a bad checksum, text, or data beyond the "
                                             "flash are then warned about or cut, not refused."));
}

bool parse_buffer_options(const QCommandLineParser& parser, BufferOptions& out, QString& error)
{
    const QString fill = parser.value(QStringLiteral("fill")).trimmed().toUpper();
    if (fill != QLatin1String("FF") && fill != QLatin1String("00")) {
        error = QStringLiteral("--fill takes FF or 00");
        return false;
    }
    static const QRegularExpression hex_re(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
    const QString start = parser.value(QStringLiteral("start")).trimmed();
    if (!hex_re.match(start).hasMatch()) {
        error = QStringLiteral("--start takes a hexadecimal address");
        return false;
    }
    out.fill_ff = fill == QLatin1String("FF");
    out.start = start;
    out.force = parser.isSet(QStringLiteral("force"));
    return true;
}

BenchImageTools::BenchImageTools(Workbench& bench, UserDialogs* dialogs)
    : serial(bench.image, bench.model, nullptr, dialogs), loader(bench.image, bench.model, serial, nullptr, dialogs)
{
    QObject::connect(&loader, &FileLoader::log_line, [](const QString& line) { QTextStream(stderr) << line << "\n"; });
}

int check_program_input(const char* command, const QString& path, const SelectedModel& model,
                        const BufferOptions& options)
{
    const QFileInfo info(path);
    if (options.force) {
        if (info.isFile())
            return 0;
        return refuse_input(command, FileDiagnostic{path, 0, info.exists() ? QStringLiteral("not a file / 不是文件")
                                                                           : QStringLiteral("no such file / 文件不存在")},
                            false);
    }
    const FlashLimits limits = FlashLimits::of(model, NumberText::hex_prefix_value(options.start));
    if (const std::optional<FileDiagnostic> refused = check_program_file(path, limits))
        return refuse_input(command, *refused, true);
    return 0;
}

int load_into_bench(const char* command, Workbench& bench, BenchImageTools& tools, const BufferOptions& options,
                    const QString& path)
{
    if (const int status = check_program_input(command, path, bench.model, options))
        return status;
    bench.image.start_afresh(options.fill_ff, options.start);
    if (!tools.loader.open_path(path, !options.force)) {
        FileDiagnostic refused = tools.loader.refusal.value_or(FileDiagnostic{path, 0, FileReason::unreadable()});
        refused.file = path;
        return refuse_input(command, refused, false);
    }
    bench.image.file_loaded = true;
    return 0;
}

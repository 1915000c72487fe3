#include "cli/download_options.h"

#include "device/workbench.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cstdio>

int cli_usage_error(const char* command, const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", command, qPrintable(text));
    return 2;
}

bool single_readable_file(const QCommandLineParser& parser, QFileInfo& file, QString& error)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        error = QStringLiteral("exactly one FILE is required");
        return false;
    }
    file = QFileInfo(positional.first());
    if (!file.isFile() || !file.isReadable()) {
        error = QStringLiteral("cannot read %1").arg(positional.first());
        return false;
    }
    return true;
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
    return true;
}

BenchImageTools::BenchImageTools(Workbench& bench, UserDialogs* dialogs)
    : view(bench.image, dialogs), serial(bench.image, bench.model, view, nullptr, dialogs),
      loader(bench.image, bench.model, serial, view, nullptr, dialogs)
{
}

bool load_into_bench(Workbench& bench, BenchImageTools& tools, const BufferOptions& options, const QFileInfo& file)
{
    bench.image.fill_ff = options.fill_ff;
    bench.image.buffer_start_text = options.start;
    bench.image.clear_buffer_on_load = true;
    tools.view.clear_program_buffer(0x00);
    bench.image.show_memory_ranges();
    bench.image.file_path = file.absoluteFilePath();
    tools.loader.open_into_buffer();
    if (!tools.loader.last_load_ok)
        return false;
    bench.image.file_loaded = true;
    return true;
}

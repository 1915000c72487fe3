#include "cli/image_session.h"

#include "base/number_text.h"
#include "image/hex_dump.h"

#include <QFileInfo>
#include <QTextStream>

ImageSession::ImageSession(UserDialogs* dialogs)
    : image(model), serial(image, model, nullptr, dialogs), loader(image, model, serial, nullptr, dialogs),
      store(image, nullptr, dialogs)
{
    QObject::connect(&loader, &FileLoader::log_line, [](const QString& line) { QTextStream(stderr) << line << "\n"; });
}

bool ImageSession::setup(const QString& model_name, const QString& start_text, const QString& fill, QString* error)
{
    if (model_name.isEmpty()) {
        *error = QStringLiteral("--model NAME is required (see 'zvkisp-cli models')");
        return false;
    }
    if (!McuModelTable::find(model_name)) {
        *error = QStringLiteral("unknown model '%1' (see 'zvkisp-cli models')").arg(model_name);
        return false;
    }
    const QString f = fill.trimmed().toUpper();
    if (f != QLatin1String("FF") && f != QLatin1String("00")) {
        *error = QStringLiteral("--fill takes FF or 00");
        return false;
    }
    model.select(model_name);
    image.start_afresh(f == QLatin1String("FF"), start_text);
    return true;
}

bool ImageSession::load(const QString& path, QString* error, bool strict)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    if (strict) {
        const qint64 start = NumberText::hex_prefix_value(image.buffer_start_text.trimmed());
        if (const std::optional<FileDiagnostic> refused = check_program_file(path, FlashLimits::of(model, start))) {
            *error = refused->text();
            return false;
        }
    }
    if (loader.open_path(path, strict))
        return true;
    if (loader.refusal) {
        FileDiagnostic refused = *loader.refusal;
        refused.file = path;
        *error = refused.text();
    }
    return false;
}

QString ImageSession::whole_dump() const
{
    const qint64 lines = (qint64(image.image_end) - image.image_start) / 16 + 2;
    return HexDump::text(image, image.image_start, image.image_end, std::max<qint64>(lines, 1), -1, 0,
                                 nullptr, nullptr);
}

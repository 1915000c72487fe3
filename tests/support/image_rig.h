#pragma once
// The program-image objects wired as the window wires them, over scripted dialogs and the
// throw-away settings location of the test, plus helpers to write HEX and binary files.

#include "image/buffer_store.h"
#include "image/file_loader.h"
#include "image/program_image.h"
#include "image/serial_number.h"
#include "models/model_catalogue.h"
#include "settings/settings_store.h"
#include "support/scripted_dialogs.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// Points the per-user settings at a fresh folder (call before anything touches the settings).
inline std::unique_ptr<QTemporaryDir> use_throwaway_settings()
{
    auto dir = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", dir->path().toLocal8Bit());
    return dir;
}

struct ImageRig {
    ScriptedDialogs dialogs;
    SelectedModel model;
    SettingsStore settings;
    ProgramImage image{model};
    SerialNumber serial{image, model, &settings, &dialogs};
    FileLoader loader{image, model, serial, &settings, &dialogs};
    BufferStore store{image, &settings, &dialogs};

    explicit ImageRig(const QString& model_name = QStringLiteral("ZVK7H64B"))
    {
        select(model_name);
        image.clear_program_buffer(0x00);
    }
    // A model selection and the range display that follows it.
    void select(const QString& name)
    {
        model.select(name);
        image.show_memory_ranges();
    }
    bool load(const QString& path)
    {
        image.file_path = path;
        loader.open_into_buffer();
        return loader.last_load_ok;
    }
    quint8 at(qint64 a) const { return image.program_buffer[static_cast<size_t>(a)]; }
};

namespace HexText {
// One record with a correct checksum, upper-case, no line end.
inline QByteArray record(int address, const QByteArray& data, int type = 0)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char((address >> 8) & 0xFF));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    int sum = 0;
    for (char c : bytes)
        sum += quint8(c);
    bytes.append(char((256 - (sum & 0xFF)) & 0xFF));
    return ':' + bytes.toHex().toUpper();
}
inline QByteArray end_record() { return QByteArrayLiteral(":00000001FF"); }
// Data cut into records of `per_line` bytes from `address`, then the end record.
inline QByteArray file(int address, const QByteArray& data, int per_line = 16, const char* eol = "\r\n")
{
    QByteArray out;
    for (int i = 0; i < data.size(); i += per_line) {
        out += record(address + i, data.mid(i, per_line));
        out += eol;
    }
    out += end_record();
    out += eol;
    return out;
}
inline QByteArray pattern(int size, int seed = 1)
{
    QByteArray d(size, Qt::Uninitialized);
    quint32 x = 2463534242u + seed;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        d[i] = char(x & 0xFF);
    }
    return d;
}
inline QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(content);
    return path;
}
} // namespace HexText

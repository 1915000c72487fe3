#pragma once
// "Store File": a stretch of the program buffer written byte for byte to a binary file. The
// stretch comes from the two store fields of ProgramImage (start and length, hexadecimal).

#include <QString>

class ProgramImage;
class SettingsStore;
class UserDialogs;

class BufferStore {
public:
    BufferStore(ProgramImage& image, SettingsStore* settings, UserDialogs* dialogs);

    // Checks, asks for the name, writes. True when a file was written.
    bool store_file();
    // The store button is usable when both fields hold text.
    static bool store_enabled(const QString& start_text, const QString& length_text);
    bool store_enabled() const;
    // Replaces `path` by buffer bytes start .. start + length - 1. False on a file error.
    bool write_range(const QString& path, qint64 start, qint64 length) const;

    static const QString kMsgStartSmall;
    static const QString kMsgLengthSmall;
    static const QString kMsgLengthBig;

private:
    ProgramImage& image_;
    SettingsStore* settings_;
    UserDialogs* dialogs_;
};

#pragma once
// The program files opened last, newest first, kept in the settings store (section "Recent", key
// "Files": the paths one a line), so the window can offer them again after a restart.

#include <QStringList>

class SettingsStore;

class RecentFiles {
public:
    static constexpr int kMax = 5;
    static const QString kSection;   // "Recent"
    static const QString kKey;       // "Files"

    explicit RecentFiles(SettingsStore& store) : store_(store) {}

    // The stored paths, newest first, at most five, without empty lines or repeats.
    QStringList list() const;
    // `path` becomes the newest entry; an older entry of the same path goes, the oldest beyond five too.
    void add(const QString& path);
    void remove(const QString& path);

private:
    void write(const QStringList& paths);
    SettingsStore& store_;
};

#include "settings/recent_files.h"

#include "settings/settings_store.h"

const QString RecentFiles::kSection = QStringLiteral("Recent");
const QString RecentFiles::kKey = QStringLiteral("Files");

QStringList RecentFiles::list() const
{
    QStringList out;
    const QStringList stored = store_.value(kSection, kKey, QString()).split(QLatin1Char('\n'));
    for (const QString& line : stored) {
        const QString path = line.trimmed();
        if (!path.isEmpty() && !out.contains(path) && out.size() < kMax)
            out << path;
    }
    return out;
}

void RecentFiles::add(const QString& path)
{
    if (path.trimmed().isEmpty())
        return;
    QStringList paths = list();
    if (!paths.isEmpty() && paths.first() == path)
        return;
    paths.removeAll(path);
    paths.prepend(path);
    write(paths.mid(0, kMax));
}

void RecentFiles::remove(const QString& path)
{
    QStringList paths = list();
    if (paths.removeAll(path) > 0)
        write(paths);
}

void RecentFiles::write(const QStringList& paths)
{
    store_.set_value(kSection, kKey, paths.join(QLatin1Char('\n')));
}

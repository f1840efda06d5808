#include "recent_files.h"

#include <QSettings>

namespace {
const QString kKey = QStringLiteral("RecentFileList");
}

QStringList RecentFiles::Load() {
    QStringList list = QSettings().value(kKey).toStringList();
    while (list.size() > kLength) list.removeLast();
    return list;
}

void RecentFiles::Add(const QString& path) {
    QStringList list = Load();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kLength) list.removeLast();
    QSettings().setValue(kKey, list);
}

void RecentFiles::Remove(const QString& path) {
    QStringList list = Load();
    list.removeAll(path);
    QSettings().setValue(kKey, list);
}

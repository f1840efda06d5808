#pragma once
// The recent-file list: the 8 projects opened or saved last, newest first, kept in the window profile.

#include <QStringList>

class RecentFiles {
  public:
    static constexpr int kLength = 8;

    // The list as stored.
    static QStringList Load();
    // path moved (or added) to the top; the list is cut to its length and stored.
    static void Add(const QString& path);
    // path taken off the list (it could not be opened).
    static void Remove(const QString& path);
};

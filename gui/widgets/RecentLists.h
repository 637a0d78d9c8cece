#pragma once

#include <QStringList>

namespace gui {

// The folders of the lists opened last, newest first, kept in the settings between runs.
class RecentLists {
public:
    static constexpr qsizetype limit = 8;

    static QStringList folders();
    // `folder` goes first; the oldest beyond the limit is forgotten.
    static void add(const QString &folder);
    static void remove(const QString &folder);

private:
    static void store(const QStringList &folders);
};

} // namespace gui

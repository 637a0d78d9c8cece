#include "gui/widgets/RecentLists.h"

#include "gui/dialogs/AppSettings.h"

#include <QDir>

namespace gui {

namespace {

const QString key = QStringLiteral("recentLists");

// One spelling per folder, so that a folder opened twice is listed once.
QString normalised(const QString &folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

} // namespace

QStringList RecentLists::folders()
{
    return appSettings()->value(key).toStringList();
}

void RecentLists::add(const QString &folder)
{
    QStringList list = folders();
    const QString name = normalised(folder);
    list.removeAll(name);
    list.prepend(name);
    store(list);
}

void RecentLists::remove(const QString &folder)
{
    QStringList list = folders();
    list.removeAll(normalised(folder));
    store(list);
}

void RecentLists::store(const QStringList &folders)
{
    appSettings()->setValue(key, folders.mid(0, limit));
}

} // namespace gui

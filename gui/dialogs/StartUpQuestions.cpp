#include "gui/dialogs/StartUpQuestions.h"

#include "gui/dialogs/Dialogs.h"
#include "system/FolderLock.h"

#include <QFileInfo>
#include <QLocale>

namespace gui {

namespace {

QString timeText(const QDateTime &time)
{
    return QLocale(QLocale::Croatian, QLocale::Croatia)
        .toString(time, QStringLiteral("d. M. yyyy. 'u' HH:mm:ss"));
}

} // namespace

bool askToOpenLockedFolder(const os::FolderLock &lock, const QString &databasePath)
{
    return Dialogs::question(
        nullptr,
        QStringLiteral("Bazu „%1” već koristi drugi program (%2).\n\n"
                       "Ako oba programa mijenjaju bazu, jedan će izgubiti rad drugoga. "
                       "Otvoriti je ipak?")
            .arg(databasePath, lock.holder()),
        warningCaption(), true);
}

std::optional<os::RecoveryCopy::LeftBehind>
offerLeftBehindWork(const QString &databasePath, bool mayTakeFolderCopy, const data::Schema &schema,
                    const std::function<bool()> &stopped)
{
    for (const QString &path : os::RecoveryCopy::leftBehind(databasePath, mayTakeFolderCopy)) {
        os::RecoveryCopy::LeftBehind copy = os::RecoveryCopy::read(path, schema);
        if (!copy.error.isEmpty()) {
            const QString aside = os::RecoveryCopy::setAside(path);
            Dialogs::message(nullptr,
                             QStringLiteral("Kopiju nespremljenog rada nije moguće pročitati pa je "
                                            "premještena u „%1”.\n\n%2")
                                 .arg(aside, copy.error),
                             warningCaption());
            continue;
        }
        QString text = QStringLiteral("Pronađen je nespremljeni rad na bazi „%1”: kopija "
                                      "spremljena %2, broj zapisa: %3.")
                           .arg(databasePath, timeText(copy.written))
                           .arg(copy.records.size());
        // Every write of the database removes the folder's own copy; one older than the database
        // was left behind by a removal that failed, and bringing it back would undo newer work.
        const QDateTime saved = QFileInfo(databasePath).lastModified();
        const bool olderThanDatabase = path == os::RecoveryCopy::folderCopyPath(databasePath) &&
                                       saved.isValid() && saved > copy.written;
        if (olderThanDatabase)
            text += QStringLiteral("\n\nPazite: baza je spremljena %1, poslije ove kopije, pa "
                                   "je kopija vjerojatno zastarjela.")
                        .arg(timeText(saved));
        const bool restore =
            Dialogs::question(nullptr, text + QStringLiteral("\n\nVratiti nespremljeni rad?"),
                              QStringLiteral("Oporavak"), olderThanDatabase);
        if (stopped())
            return std::nullopt;
        if (restore)
            return copy;
        os::RecoveryCopy::setAside(path);
    }
    return std::nullopt;
}

} // namespace gui

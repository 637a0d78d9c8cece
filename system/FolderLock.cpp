#include "system/FolderLock.h"

namespace os {

FolderLock::FolderLock(const QString &databasePath)
    : m_lock(databasePath + QStringLiteral(".lock"))
{
    // A clerk keeps the program open all day: age never makes a lock stale, only a holder
    // that is gone does.
    m_lock.setStaleLockTime(0);
}

FolderLock::Result FolderLock::take()
{
    if (m_lock.tryLock(0))
        return Result::Taken;
    m_heldByOther = m_lock.error() == QLockFile::LockFailedError;
    return m_heldByOther ? Result::HeldByOther : Result::NotPossible;
}

QString FolderLock::holder() const
{
    qint64 pid = 0;
    QString host;
    QString program;
    if (!m_lock.getLockInfo(&pid, &host, &program))
        return QStringLiteral("nepoznato");
    QString text = QStringLiteral("računalo %1, proces %2")
                       .arg(host.isEmpty() ? QStringLiteral("nepoznato") : host)
                       .arg(pid);
    if (!program.isEmpty())
        text += QStringLiteral(", program %1").arg(program);
    return text;
}

} // namespace os

#pragma once

#include <QLockFile>
#include <QString>

namespace os {

// The lock beside a database file that keeps a second program off the same folder. A lock
// left by a program that no longer runs on this computer is taken over; one held by a running
// program stays valid however long it is held.
class FolderLock {
public:
    enum class Result {
        Taken,       // this program holds the lock
        HeldByOther, // a running program holds it; holder() says which
        NotPossible, // no lock can be made here (a read-only folder)
    };

    // The lock for `databasePath` is that path with ".lock" appended.
    explicit FolderLock(const QString &databasePath);

    Result take();
    bool isHeld() const { return m_lock.isLocked(); }
    // Only then can the folder's own recovery copy belong to a running program: where no lock
    // can be made, no one holds one.
    bool isHeldByOther() const { return m_heldByOther; }
    // "računalo <host>, proces <pid>, program <name>", as far as the lock tells.
    QString holder() const;

private:
    QLockFile m_lock;
    bool m_heldByOther = false;
};

} // namespace os

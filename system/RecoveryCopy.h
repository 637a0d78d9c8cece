#pragma once

#include "model/Record.h"
#include "model/Table.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace os {

// A copy of the table's committed records, kept in the user's data folder whenever the table
// holds changes that the database file does not, so that a crash or a failed write loses
// nothing. It is written a short while after the last change, the records copied on this
// thread and the packet written on a worker as the database file is, and removed once the database
// file holds the work.
class RecoveryCopy : private data::TableObserver {
public:
    // A copy found at start.
    struct LeftBehind {
        QString path;
        QDateTime written;
        std::vector<data::Record> records;
        QString error; // why it cannot be read; then `records` is empty
    };

    // The copy of `databasePath` (an absolute path). The holder of the folder's lock writes the
    // folder's own copy; any other program one named after its process, so two programs never
    // write the same file.
    RecoveryCopy(data::Table &table, const QString &databasePath, bool holdsLock);
    ~RecoveryCopy() override;
    RecoveryCopy(const RecoveryCopy &) = delete;
    RecoveryCopy &operator=(const RecoveryCopy &) = delete;

    static QString folder();
    // The folder's own copy, the one the holder of its lock writes.
    static QString folderCopyPath(const QString &databasePath);
    const QString &path() const { return m_path; }

    // Removes what writes killed in the middle left beside `databasePath` and in the data
    // folder (see data::removeLeftoverTemporaries).
    static void removeLeftoverTemporaries(const QString &databasePath);

    // Copies of `databasePath` that may be offered: the folder's own copy (only when no running
    // program holds the lock), then copies of programs that no longer run, newest first.
    static QStringList leftBehind(const QString &databasePath, bool mayTakeFolderCopy);
    static LeftBehind read(const QString &copyPath, const data::Schema &schema);
    // Moves a copy aside under a dated name in the same folder; returns that name.
    static QString setAside(const QString &copyPath);

    // The table was loaded from `copyPath`: it becomes this program's copy, up to date, and the
    // database file does not hold it yet.
    void takeOver(const QString &copyPath);
    // The database file holds the table as it is now (read or written): the copy goes.
    void markSaved();
    // What the timer does: copies the records here and hands them to the worker to write, when
    // the copy is behind the table and no write is under way.
    void startWrite();
    // Brings the copy up to date at once, on this thread, when it is needed; returns why that
    // failed, or an empty text.
    QString writeNow();

    // Told on this thread whenever that changes: why the copy could not be written, or an empty
    // text once it is written or no longer needed. The clerk should not learn of it only at close.
    std::function<void(const QString &problem)> problemChanged;

    // How long the table must stay unchanged before the copy is written.
    static constexpr int delayMs = 2000;

private:
    bool needsCopy() const;
    // Waits for the worker and takes its result.
    void finishWorker();
    void noticeChange();
    void tell(const QString &problem);

    void rowInserted(std::size_t) override { noticeChange(); }
    void rowRemoved(std::size_t) override { noticeChange(); }
    void stateChanged() override { noticeChange(); }
    void reset() override { noticeChange(); }

    data::Table &m_table;
    QString m_path;
    QTimer m_timer;
    std::uint64_t m_seenCount = 0;
    std::optional<std::uint64_t> m_savedCount; // held by the database file
    std::optional<std::uint64_t> m_copyCount;  // held by the copy on disk

    std::thread m_worker;
    std::atomic<bool> m_writing{false};
    std::uint64_t m_workerCount = 0;
    std::string m_workerError;
};

} // namespace os

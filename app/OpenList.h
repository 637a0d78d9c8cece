#pragma once

#include "model/CarriedValues.h"
#include "model/Checks.h"
#include "model/Table.h"
#include "platform/FileIdentity.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace os {
class FolderLock;
class RecoveryCopy;
} // namespace os

// The open list of one folder, its whole life as one story: the folder's lock, the work left
// behind by a program that ended early, the load of "Baza.xml" or the new empty file, every
// write with its questions, the export, the erase, the close, and the move to another folder's
// list. It owns the product table, which the window shows for as long as it is open, and what
// keeps its work safe.
class OpenList : public QObject {
    Q_OBJECT

public:
    // `window` is the parent of every question the session asks.
    explicit OpenList(QWidget *window);
    ~OpenList() override;

    data::Table &table() { return m_products; }
    const data::Table &table() const { return m_products; }
    const data::Checks &checks() const { return m_checks; }
    data::CarriedValues &carriedValues() { return m_carried; }
    QString databasePath() const { return QString::fromStdString(m_databaseFile); }

    // The folder's lock, the question about work left behind, then the database loaded, or
    // created when absent. False when the program is to end without opening its window.
    bool start();
    QString folder() const;
    // Removes unnamed records and writes the database; false when another program changed
    // the file and the clerk keeps that file. Throws what the write throws.
    bool save();
    // Writes the text export of the stored records to `fileName`; throws what the write throws.
    void exportTo(const QString &fileName) const;
    // Writes an empty database, then empties the table in one step that can be taken back;
    // false as for save().
    bool erase();
    // The writes at close, with the question when they fail; false when the window is to stay.
    bool saveOnClose() { return saveOnLeaving(QStringLiteral("Zatvoriti program bez spremanja?")); }
    // Opens the list in `folder` in place of this one, asking what the start asks; the list
    // that was open is saved first, as at close. False when it stays open: the clerk said no,
    // its save failed, the folder is this one, or the other list cannot be read.
    bool openFolder(const QString &folder);
    // After the last write: the folder is free for the next program at once, even when the
    // system ends this process before its objects are gone (Windows does at a log-off).
    void releaseFolder();

    // From now on nothing is asked: the system is ending the program.
    void setClosingOnSignal() { m_closingOnSignal = true; }
    bool isClosingOnSignal() const { return m_closingOnSignal; }

signals:
    // Empty when the recovery copy is written again; otherwise why it is not.
    void recoveryProblemChanged(const QString &problem);

private:
    // The lock of `databasePath`'s folder, or none when another program holds it and the clerk
    // leaves it to that program.
    std::unique_ptr<os::FolderLock> takeFolderLock(const QString &databasePath);
    // True when `folder` is the open list's, by whatever path.
    bool isOpenFolder(const QString &folder) const;
    void sayAlreadyOpen(const QString &folder) const;
    // The copy of this folder's unsaved work, written from now on.
    void watchForRecovery();
    // The saves of saveOnClose(); `question` ends the box that asks whether to go on unsaved.
    bool saveOnLeaving(const QString &question);
    // What a folder holds to open: the records of a copy of unsaved work the clerk brings back,
    // or of its file (none when there is no file yet), and the file as it was before the read.
    struct Found {
        std::optional<std::vector<data::Record>> records;
        QString copyPath; // the copy brought back, if any
        data::FileIdentity state;
    };
    // Offers the copies of unsaved work left for `databasePath`, then reads its file unless one
    // is brought back. Nothing when the file cannot be read (said) or the program is ending.
    std::optional<Found> find(const QString &databasePath, const os::FolderLock &lock);
    // Makes `found` the open list, in place of the one that was open, with `lock` its folder's.
    void take(std::unique_ptr<os::FolderLock> lock, const QString &databasePath, Found found);
    // Runs `write` of the database file, unless another program changed the file since it was
    // read or written here and the clerk keeps that file: then false, the work kept in the
    // window and in the recovery copy. Throws what `write` throws.
    bool writeDatabase(const std::function<void()> &write);
    // An empty table with a record begun (its carried-over values written), ready for typing.
    void beginEmpty();
    // Writes an empty "Baza.xml" and begins a record in an empty table; the table is open even
    // when the write throws.
    void createDatabase();

    QWidget *m_window;
    data::Table m_products;
    data::Checks m_checks{m_products}; // before any view: views read it as they are told
    data::CarriedValues m_carried;
    std::unique_ptr<os::FolderLock> m_lock;
    std::unique_ptr<os::RecoveryCopy> m_recovery;
    std::string m_databaseFile;         // absolute, so a folder that comes back is found again
    data::FileIdentity m_databaseState; // the file as this program last read or wrote it
    bool m_closingOnSignal = false;
};

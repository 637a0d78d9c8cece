#include "app/OpenList.h"

#include "format/DatabaseFile.h"
#include "format/TextExport.h"
#include "gui/dialogs/Dialogs.h"
#include "gui/dialogs/ExceptionBox.h"
#include "gui/dialogs/StartUpQuestions.h"
#include "model/ProductSchema.h"
#include "platform/AtomicFile.h"
#include "platform/Path.h"
#include "system/FolderLock.h"
#include "system/RecoveryCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include <filesystem>

using namespace data;

OpenList::OpenList(QWidget *window)
    : m_window(window)
    , m_products(productSchema())
    , m_databaseFile(QDir::current().absoluteFilePath(QStringLiteral("Baza.xml")).toStdString())
{
    m_products.setRecordRules(&m_carried);
}

OpenList::~OpenList()
{
    m_products.setRecordRules(nullptr);
}

bool OpenList::start()
{
    if (m_closingOnSignal)
        return false;
    std::unique_ptr<os::FolderLock> lock = takeFolderLock(databasePath());
    if (!lock || m_closingOnSignal)
        return false;
    std::optional<Found> found = find(databasePath(), *lock);
    if (m_closingOnSignal)
        return false;
    if (found) {
        take(std::move(lock), databasePath(), std::move(*found));
    } else {
        // A file that cannot be read: the window opens on a closed table, and nothing is
        // written over the file.
        m_lock = std::move(lock);
        watchForRecovery();
        m_recovery->markSaved();
    }
    return !m_closingOnSignal;
}

QString OpenList::folder() const
{
    return QFileInfo(databasePath()).absolutePath();
}

bool OpenList::openFolder(const QString &folder)
{
    const QString path = QDir(folder).absoluteFilePath(QStringLiteral("Baza.xml"));
    if (isOpenFolder(folder)) {
        sayAlreadyOpen(folder);
        return false;
    }
    // Held first, so that no one takes it while this list is saved.
    std::unique_ptr<os::FolderLock> lock = takeFolderLock(path);
    if (!lock || m_closingOnSignal ||
        !saveOnLeaving(QStringLiteral("Otvoriti drugi popis bez spremanja?")))
        return false;
    // A file that cannot be read is refused before this list lets go of its folder.
    std::optional<Found> found = find(path, *lock);
    if (!found || m_closingOnSignal)
        return false;
    take(std::move(lock), path, std::move(*found));
    return true;
}

std::optional<OpenList::Found> OpenList::find(const QString &databasePath,
                                              const os::FolderLock &lock)
{
    os::RecoveryCopy::removeLeftoverTemporaries(databasePath);
    std::optional<os::RecoveryCopy::LeftBehind> copy =
        gui::offerLeftBehindWork(databasePath, !lock.isHeldByOther(), m_products.schema(),
                                 [this] { return m_closingOnSignal; });
    if (m_closingOnSignal)
        return std::nullopt;
    Found found;
    const std::string file = databasePath.toStdString();
    // Taken before reading: a change made while it is read counts as a change.
    found.state = FileIdentity::of(file);
    if (copy) {
        found.records = std::move(copy->records);
        found.copyPath = copy->path;
    } else if (!gui::guarded(m_window, [&] {
                   found.records = readExistingDatabaseFile(file, m_products.schema());
               })) {
        return std::nullopt;
    }
    return found;
}

void OpenList::take(std::unique_ptr<os::FolderLock> lock, const QString &databasePath, Found found)
{
    // The list that was open has its work in its file or, left unsaved, in its copy.
    m_recovery.reset();
    m_lock = std::move(lock);
    m_databaseFile = databasePath.toStdString();
    m_databaseState = found.state;
    m_carried.clear();
    emit recoveryProblemChanged({});
    watchForRecovery();
    if (found.records) {
        m_products.replaceContent(std::move(*found.records));
        m_products.last();
    } else {
        gui::guarded(m_window, [this] { createDatabase(); });
    }
    if (found.copyPath.isEmpty())
        m_recovery->markSaved();
    else
        m_recovery->takeOver(found.copyPath);
}

std::unique_ptr<os::FolderLock> OpenList::takeFolderLock(const QString &databasePath)
{
    auto lock = std::make_unique<os::FolderLock>(databasePath);
    if (lock->take() != os::FolderLock::Result::HeldByOther ||
        gui::askToOpenLockedFolder(*lock, databasePath))
        return lock;
    return nullptr;
}

bool OpenList::isOpenFolder(const QString &folder) const
{
    // By the folder itself, not its name: a link, a mapped drive or a name in other case may
    // lead to it, and its lock would then be this program's own.
    std::error_code ec;
    return std::filesystem::equivalent(pathFromUtf8(folder.toStdString()),
                                       pathFromUtf8(this->folder().toStdString()), ec);
}

void OpenList::sayAlreadyOpen(const QString &folder) const
{
    gui::Dialogs::message(
        m_window,
        QStringLiteral("Popis u mapi „%1” već je otvoren.").arg(QDir::toNativeSeparators(folder)));
}

void OpenList::watchForRecovery()
{
    m_recovery = std::make_unique<os::RecoveryCopy>(m_products, databasePath(), m_lock->isHeld());
    m_recovery->problemChanged = [this](const QString &problem) {
        emit recoveryProblemChanged(problem);
    };
}

bool OpenList::save()
{
    return writeDatabase([this] {
        m_products.removeRecordsWithEmpty(Name);
        data::writeDatabase(m_products, m_databaseFile);
    });
}

void OpenList::exportTo(const QString &fileName) const
{
    textexport::writeExportFile(fileName.toStdString(), m_products);
}

bool OpenList::erase()
{
    return writeDatabase([this] {
        // The file goes first: a failed write leaves the list as it was. The records stay in
        // the history, so that the erase can be taken back until the program closes.
        writeDatabaseFile(m_databaseFile, m_products.schema(), {});
        m_products.removeAll();
        m_carried.clear();
    });
}

bool OpenList::saveOnLeaving(const QString &question)
{
    // Nothing was read, so nothing is written: the file stays as it was.
    if (!m_products.isActive())
        return true;
    try {
        m_products.removeRecordsWithEmpty(Name);
    } catch (const std::exception &e) {
        if (!m_closingOnSignal) {
            gui::showException(m_window, e);
            return false;
        }
        // No one is there to correct the entry: the committed work goes into the copy.
        m_recovery->writeNow();
        return true;
    }
    QString reason;
    try {
        if (writeDatabase([this] { data::writeDatabase(m_products, m_databaseFile); }))
            return true;
        reason = QStringLiteral("drugi ju je program u međuvremenu promijenio");
    } catch (const WriteError &e) {
        reason = QString::fromStdString(e.reason());
    } catch (const std::exception &e) {
        reason = gui::exceptionText(e);
    }
    // The work is safe in the recovery copy before anything is asked.
    const QString copyFailure = m_recovery->writeNow();
    if (m_closingOnSignal)
        return true;
    QString text = QStringLiteral("Baza „%1” nije spremljena: %2").arg(databasePath(), reason);
    if (!copyFailure.isEmpty())
        text += QStringLiteral("\nNi kopija nespremljenog rada nije spremljena: ") + copyFailure;
    // Dropping the changes silently would lose the clerk's work: ask. With no copy either, a
    // closing Enter would lose it for good, so "Ne" is the default.
    return gui::Dialogs::question(m_window, text + QStringLiteral("\n\n") + question,
                                  gui::warningCaption(), !copyFailure.isEmpty()) ||
           m_closingOnSignal;
}

void OpenList::releaseFolder()
{
    m_lock.reset();
}

bool OpenList::writeDatabase(const std::function<void()> &write)
{
    if (m_databaseState.changedOnDisk(m_databaseFile)) {
        const bool replace =
            !m_closingOnSignal &&
            gui::Dialogs::question(
                m_window,
                QStringLiteral("Bazu „%1” je u međuvremenu promijenio drugi program.\n\n"
                               "Zamijeniti je podacima iz ovog prozora? Ako odgovorite "
                               "„Ne”, baza ostaje kakva jest, a vaš rad ostaje u prozoru "
                               "i u kopiji nespremljenog rada.")
                    .arg(databasePath()),
                gui::warningCaption(), true);
        if (!replace) {
            m_recovery->writeNow();
            return false;
        }
    }
    write();
    m_databaseState = FileIdentity::of(m_databaseFile);
    m_recovery->markSaved();
    return true;
}

void OpenList::beginEmpty()
{
    m_products.close();
    m_products.replaceContent({});
    m_products.insert();
}

void OpenList::createDatabase()
{
    // The new record must start without carried-over values, but a failed write keeps them.
    const CarriedValues kept = m_carried;
    m_carried.clear();
    try {
        // The file goes first: a failed write leaves the table as it was.
        writeDatabaseFile(m_databaseFile, m_products.schema(), {});
        beginEmpty();
    } catch (...) {
        m_carried = kept;
        // The clerk can type all the same: the recovery copy and the close question keep the
        // work.
        beginEmpty();
        throw;
    }
    m_databaseState = FileIdentity::of(m_databaseFile);
}

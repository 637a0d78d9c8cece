#include "app/OpenList.h"

#include "format/DatabaseFile.h"
#include "gui/dialogs/Dialogs.h"
#include "gui/dialogs/ExceptionBox.h"
#include "gui/dialogs/StartUpQuestions.h"
#include "model/ProductSchema.h"
#include "platform/AtomicFile.h"
#include "system/FolderLock.h"
#include "system/RecoveryCopy.h"

#include <QDir>
#include <QWidget>

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
    if (m_closingOnSignal || !takeFolderLock())
        return false;
    os::RecoveryCopy::removeLeftoverTemporaries(databasePath());
    m_recovery = std::make_unique<os::RecoveryCopy>(m_products, databasePath(), m_lock->isHeld());
    m_recovery->problemChanged = [this](const QString &problem) {
        emit recoveryProblemChanged(problem);
    };
    const bool restored = offerRecoveryCopies(!m_lock->isHeldByOther());
    if (m_closingOnSignal)
        return false;

    // Taken before reading: a change made while it is read counts as a change.
    m_databaseState = FileIdentity::of(m_databaseFile);
    gui::guarded(m_window, [&] {
        if (restored || readExistingDatabase(m_products, m_databaseFile))
            return;
        try {
            writeEmptyDatabase();
        } catch (...) {
            // The clerk can type all the same: the recovery copy and the close question keep
            // the work.
            beginEmpty();
            throw;
        }
        m_databaseState = FileIdentity::of(m_databaseFile);
        m_products.open();
    });
    if (!restored)
        m_recovery->markSaved();
    return !m_closingOnSignal;
}

bool OpenList::takeFolderLock()
{
    m_lock = std::make_unique<os::FolderLock>(databasePath());
    if (m_lock->take() != os::FolderLock::Result::HeldByOther)
        return true;
    return gui::askToOpenLockedFolder(*m_lock, databasePath()) && !m_closingOnSignal;
}

bool OpenList::offerRecoveryCopies(bool mayTakeFolderCopy)
{
    std::optional<os::RecoveryCopy::LeftBehind> copy =
        gui::offerLeftBehindWork(databasePath(), mayTakeFolderCopy, m_products.schema(),
                                 [this] { return m_closingOnSignal; });
    if (!copy)
        return false;
    m_products.replaceContent(std::move(copy->records));
    m_products.last();
    m_recovery->takeOver(copy->path);
    return true;
}

bool OpenList::save()
{
    return writeDatabase([this] {
        m_products.removeRecordsWithEmpty(Name);
        data::writeDatabase(m_products, m_databaseFile);
    });
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

bool OpenList::saveOnClose()
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
    return gui::Dialogs::question(m_window,
                                  text + QStringLiteral("\n\nZatvoriti program bez spremanja?"),
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

void OpenList::writeEmptyDatabase()
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
        throw;
    }
}

#include "system/RecoveryCopy.h"

#include "format/DatabaseFile.h"
#include "platform/AtomicFile.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/SystemReason.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>

namespace os {

namespace {

QString keyOf(const QString &databasePath)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(databasePath.toUtf8(), QCryptographicHash::Sha1).toHex());
}

QString ownCopyName(const QString &key)
{
    return QStringLiteral("oporavak-%1.xml").arg(key);
}

// Written on the worker: nothing here may touch the table or Qt's objects.
std::string writeCopy(const std::string &path, const data::Schema &schema,
                      const std::vector<data::Record> &rows, std::size_t skipRow)
{
    try {
        // The error_code form: the throwing one reports in English.
        std::error_code ec;
        std::filesystem::create_directories(data::pathFromUtf8(path).parent_path(), ec);
        if (ec)
            throw data::WriteError(path, data::systemReason(ec));
        data::writeDatabaseFile(path, schema, rows, skipRow);
        return {};
    } catch (const std::exception &e) {
        return data::exceptionMessage(e);
    }
}

} // namespace

RecoveryCopy::RecoveryCopy(data::Table &table, const QString &databasePath, bool holdsLock)
    : m_table(table)
    , m_seenCount(table.changeCount())
{
    const QString key = keyOf(databasePath);
    // Pid and start time: a later program that gets the same pid must not take this name.
    const QString name = holdsLock ? ownCopyName(key)
                                   : QStringLiteral("oporavak-%1-pid%2-%3.xml")
                                         .arg(key)
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(QDateTime::currentMSecsSinceEpoch());
    m_path = QDir(folder()).filePath(name);
    m_timer.setSingleShot(true);
    m_timer.setInterval(delayMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { startWrite(); });
    m_table.addObserver(this);
}

RecoveryCopy::~RecoveryCopy()
{
    m_table.removeObserver(this);
    if (m_worker.joinable())
        m_worker.join();
}

QString RecoveryCopy::folder()
{
    // Windows: %LOCALAPPDATA%, which does not roam with the profile; Linux: ~/.local/share.
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

QString RecoveryCopy::folderCopyPath(const QString &databasePath)
{
    return QDir(folder()).filePath(ownCopyName(keyOf(databasePath)));
}

void RecoveryCopy::removeLeftoverTemporaries(const QString &databasePath)
{
    data::removeLeftoverTemporaries(databasePath.toStdString());
    data::removeLeftoverTemporaries(folderCopyPath(databasePath).toStdString());
}

QStringList RecoveryCopy::leftBehind(const QString &databasePath, bool mayTakeFolderCopy)
{
    const QString key = keyOf(databasePath);
    const QRegularExpression ofOtherProgram(
        QStringLiteral("^oporavak-%1-pid(\\d+)-\\d+\\.xml$").arg(key));
    QStringList found;
    const QDir dir(folder());
    if (mayTakeFolderCopy && QFileInfo::exists(folderCopyPath(databasePath)))
        found << folderCopyPath(databasePath);
    const QFileInfoList copies = dir.entryInfoList(
        {QStringLiteral("oporavak-%1-pid*.xml").arg(key)}, QDir::Files, QDir::Time);
    for (const QFileInfo &copy : copies) {
        const QRegularExpressionMatch match = ofOtherProgram.match(copy.fileName());
        if (match.hasMatch() && !data::isProcessRunning(match.captured(1).toLongLong()))
            found << copy.filePath();
    }
    return found;
}

RecoveryCopy::LeftBehind RecoveryCopy::read(const QString &copyPath, const data::Schema &schema)
{
    LeftBehind copy{copyPath, QFileInfo(copyPath).lastModified(), {}, {}};
    try {
        copy.records = data::readDatabaseFile(copyPath.toStdString(), schema);
    } catch (const std::exception &e) {
        copy.error = QString::fromStdString(data::exceptionMessage(e));
    }
    return copy;
}

QString RecoveryCopy::setAside(const QString &copyPath)
{
    const QFileInfo copy(copyPath);
    const QString base =
        QStringLiteral("odlozeno-%1-%2")
            .arg(copy.completeBaseName().mid(QStringLiteral("oporavak-").size()),
                 QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    for (int n = 1; n < 1000; ++n) {
        const QString target = copy.dir().filePath(
            base + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) + QStringLiteral(".xml"));
        if (!QFileInfo::exists(target) && QFile::rename(copyPath, target))
            return target;
    }
    return copyPath;
}

void RecoveryCopy::takeOver(const QString &copyPath)
{
    finishWorker();
    if (copyPath != m_path && !QFile::rename(copyPath, m_path))
        m_path = copyPath;
    m_seenCount = m_table.changeCount();
    m_copyCount = m_seenCount;
    m_savedCount.reset();
}

void RecoveryCopy::markSaved()
{
    finishWorker();
    m_timer.stop();
    m_seenCount = m_table.changeCount();
    m_savedCount = m_seenCount;
    // Only a copy of this program's own: one found at start that was not taken stays.
    if (m_copyCount) {
        QFile::remove(m_path);
        m_copyCount.reset();
    }
    tell({});
}

void RecoveryCopy::tell(const QString &problem)
{
    if (problemChanged)
        problemChanged(problem);
}

bool RecoveryCopy::needsCopy() const
{
    const std::uint64_t now = m_table.changeCount();
    return m_table.isActive() && m_savedCount != now && m_copyCount != now;
}

void RecoveryCopy::startWrite()
{
    if (m_writing) {
        m_timer.start(100); // the last write is still under way: look again shortly
        return;
    }
    finishWorker();
    if (!needsCopy())
        return;
    m_writing = true;
    m_workerCount = m_table.changeCount();
    // A copy of the records is all the window waits for; the packet is written on the worker.
    m_worker = std::thread([this, rows = m_table.rows(), schema = m_table.schema(),
                            skip = m_table.begunRow(), path = m_path.toStdString()] {
        m_workerError = writeCopy(path, schema, rows, skip);
        const QString problem = QString::fromStdString(m_workerError);
        m_writing = false;
        QMetaObject::invokeMethod(&m_timer, [this, problem] {
            tell(problem);
            // A full disk or a lost network folder may come back: try again without waiting
            // for the clerk's next change, which may never come.
            if (!problem.isEmpty())
                m_timer.start(delayMs);
        });
    });
}

QString RecoveryCopy::writeNow()
{
    m_timer.stop();
    finishWorker();
    if (!needsCopy())
        return {};
    const QString problem = QString::fromStdString(
        writeCopy(m_path.toStdString(), m_table.schema(), m_table.rows(), m_table.begunRow()));
    if (problem.isEmpty())
        m_copyCount = m_table.changeCount();
    tell(problem);
    return problem;
}

void RecoveryCopy::finishWorker()
{
    if (!m_worker.joinable())
        return;
    m_worker.join();
    if (m_workerError.empty())
        m_copyCount = m_workerCount;
    m_workerError.clear();
}

void RecoveryCopy::noticeChange()
{
    const std::uint64_t now = m_table.changeCount();
    if (now == m_seenCount)
        return;
    m_seenCount = now;
    // The interval in full: a retry's start(100) above leaves its own interval behind.
    if (needsCopy())
        m_timer.start(delayMs);
}

} // namespace os

#include "TestSupport.h"
#include "WindowFixture.h"

#include <QLockFile>
#include <QProcess>

#include "platform/Path.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <csignal>
#endif

using namespace data;
using namespace Qt::StringLiterals;
using gui::Dialogs;

namespace {

// The names in a database file or a copy, in order; none when there is no such file.
QStringList names(const QString &path)
{
    Table t(productSchema());
    if (QFile::exists(path))
        readDatabase(t, path.toStdString());
    QStringList n;
    for (std::size_t r = 0; r < t.rowCount(); ++r)
        n << QString::fromStdString(t.text(r, Name));
    return n;
}

// The window driver in `folder`, once it has printed `line`: "ready" when it has typed its
// records and opened what the mode says.
std::unique_ptr<QProcess> startDriver(const QString &folder, const QStringList &arguments,
                                      const QByteArray &line = "ready\n")
{
    auto child = std::make_unique<QProcess>();
    child->setWorkingDirectory(folder);
#ifdef _WIN32
    // Windows' session messages need real windows.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"windows"_s);
    child->setProcessEnvironment(environment);
#endif
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Beside this test program; a path the build wrote down may not be one Windows can read.
    child->start(QCoreApplication::applicationDirPath() + u"/kalvendor_window_driver"_s, arguments);
    while (!child->canReadLine() && child->waitForReadyRead(60000)) {
    }
    // Windows ends the line with CR LF.
    return child->readLine().trimmed() == line.trimmed() ? std::move(child) : nullptr;
}

// The hidden temporary files in `folder` of the files whose names begin with `prefix`.
QStringList temporaries(const QString &folder, const QString &prefix)
{
    return QDir(folder).entryList({u"."_s + prefix + u"*.tmp-*"_s}, QDir::Files | QDir::Hidden);
}

#ifdef _WIN32
BOOL CALLBACK addWindowOf(HWND window, LPARAM found)
{
    auto *windows = reinterpret_cast<std::pair<DWORD, std::vector<HWND>> *>(found);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == windows->first)
        windows->second.push_back(window);
    return TRUE;
}
#endif

// The end of the clerk's session, as the system ends a program: on Windows each top-level
// window is asked, then told, and the process ends as soon as the last one has answered.
void endSession(QProcess &child)
{
#ifdef _WIN32
    std::pair<DWORD, std::vector<HWND>> windows{static_cast<DWORD>(child.processId()), {}};
    ::EnumWindows(addWindowOf, reinterpret_cast<LPARAM>(&windows));
    QVERIFY(!windows.second.empty());
    DWORD_PTR answer = 0;
    for (const UINT message : {WM_QUERYENDSESSION, WM_ENDSESSION}) {
        for (HWND window : windows.second)
            ::SendMessageTimeoutW(window, message, message == WM_ENDSESSION, ENDSESSION_LOGOFF,
                                  SMTO_BLOCK, 30000, &answer);
    }
    const HANDLE process =
        ::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(child.processId()));
    ::TerminateProcess(process, 0);
    ::CloseHandle(process);
#else
    ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
#endif
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

private slots:
    // A killed program leaves its lock and its committed work: the next start takes the lock
    // without a word and offers the work. "Ne" sets the copy aside and reads the old file, as
    // does a copy that cannot be read, with a message.
    void killedProgramsWorkComesBack_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<bool>("spoil");
        QTest::newRow("Da") << true << false;
        QTest::newRow("Ne") << false << false;
        QTest::newRow("unreadable copy") << false << true;
    }
    void killedProgramsWorkComesBack()
    {
        QFETCH(bool, restore);
        QFETCH(bool, spoil);
        QTemporaryDir folder;
        WindowFixture w(folder.path());
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"stari\" Kolicina=\"2.5\""_s}));
        const QByteArray old = w.readDatabase();
        std::unique_ptr<QProcess> child = startDriver(folder.path(), {u"type"_s});
        QVERIFY(child);
        QTRY_VERIFY_WITH_TIMEOUT(WindowFixture::read(w.recoveryFiles().value(0)).contains("drugi"),
                                 20000);
        child->kill();
        QVERIFY(child->waitForFinished());
        QFile file(w.recoveryFiles().value(0));
        if (spoil) {
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("<DATAPACKET") && file.flush());
            file.close(); // Windows renames no file that is open
        }
        const QByteArray copy = WindowFixture::read(file.fileName());

        Dialogs::addAnswer(restore);
        QVERIFY(w.start());
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2); // the start-up message and the recovery question alone
        QCOMPARE(shown[1].defaultButton, spoil ? QMessageBox::NoButton : QMessageBox::Yes);
        QVERIFY2(shown[1].text.contains(spoil ? u"nije moguće pročitati"_s : u"broj zapisa: 3"_s),
                 qPrintable(shown[1].text));
        QCOMPARE(w.readDatabase(), old);
        const QStringList kept = w.recoveryFiles();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(WindowFixture::read(kept[0]), copy);
        if (restore) {
            w.form->close(); // a new record goes ahead of the current one
            QCOMPARE(names(w.databasePath()), (QStringList{u"drugi"_s, u"prvi"_s, u"stari"_s}));
            QCOMPARE(w.valueAt(2, Quantity), u"2,5"_s);
            QVERIFY(w.recoveryFiles().isEmpty());
        } else {
            QCOMPARE(w.table().recordCount(), 1u);
            QVERIFY(QFileInfo(kept[0]).fileName().startsWith(u"odlozeno-"_s));
            QFile::remove(kept[0]);
        }
    }

    // A program killed while it opens another folder's list has saved the list it left before
    // asking anything there: neither folder loses work, and both locks are taken over.
    void aKilledSwitchLosesNothing()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        QVERIFY(QDir().mkpath(os::RecoveryCopy::folder()));
        QFile copy(os::RecoveryCopy::folderCopyPath(second.filePath(u"Baza.xml"_s)));
        QVERIFY(copy.open(QIODevice::WriteOnly) &&
                copy.write(WindowFixture::packet({u"Naziv=\"čeka\""_s})) && copy.flush());
        copy.close();
        std::unique_ptr<QProcess> child =
            startDriver(first.path(), {u"switch"_s, second.path()}, "held\n");
        QVERIFY(child);
        child->kill();
        QVERIFY(child->waitForFinished());
        QStringList saved = names(first.filePath(u"Baza.xml"_s));
        saved.sort();
        QCOMPARE(saved, (QStringList{u"drugi"_s, u"prvi"_s, u"treći"_s}));
        {
            WindowFixture here(first.path());
            QVERIFY(here.start());
            QCOMPARE(Dialogs::takeShown().size(), 1); // the start-up message alone
            QVERIFY(here.recoveryFiles().isEmpty());
        }
        WindowFixture there(second.path());
        Dialogs::addAnswer(true);
        QVERIFY(there.start());
        QCOMPARE(there.column(Name), u"čeka"_s);
    }

    // A program killed in the middle of a write leaves the old file whole and nothing beside it:
    // an unnamed temporary file goes with the process, a named one (as on a file system without
    // unnamed files) at the next start.
    void aKilledWriteLeavesNoTemporaryFile_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<bool>("named");
        for (const QString &held : {u"save"_s, u"copy"_s}) {
            QTest::addRow("%s, unnamed", qPrintable(held)) << held << false;
            QTest::addRow("%s, named", qPrintable(held)) << held << true;
        }
    }
    void aKilledWriteLeavesNoTemporaryFile()
    {
        QFETCH(QString, held);
        QFETCH(bool, named);
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"stari\""_s}));
        const QByteArray old = w.readDatabase();
        const bool save = held == u"save"_s;
        const QString folder = save ? w.folder() : os::RecoveryCopy::folder();
        const QString prefix = save ? u"Baza.xml"_s : u"oporavak-"_s + w.recoveryKey();
        QVERIFY(QDir().mkpath(folder));
        if (!named && !hasUnnamedFiles(pathFromUtf8(folder.toStdString())))
            QSKIP("no unnamed files on this file system");

        std::unique_ptr<QProcess> child =
            startDriver(w.folder(), {held, named ? u"named"_s : u""_s}, "held\n");
        QVERIFY(child);
        QCOMPARE(temporaries(folder, prefix).size(), named ? 1 : 0);
        child->kill();
        QVERIFY(child->waitForFinished());
        QCOMPARE(temporaries(folder, prefix).size(), named ? 1 : 0);
        QCOMPARE(w.readDatabase(), old);

        QVERIFY(w.start());
        QCOMPARE(temporaries(folder, prefix), QStringList());
        QCOMPARE(QDir(w.folder()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"Baza.xml"_s, u"Baza.xml.lock"_s}));
    }

    // "Ne", the default, ends a second program without a file written; "Da" opens the database
    // with a copy of its own.
    void aLockedFolder_data()
    {
        QTest::addColumn<bool>("openAnyway");
        QTest::newRow("Ne") << false;
        QTest::newRow("Da") << true;
    }
    void aLockedFolder()
    {
        QFETCH(bool, openAnyway);
        WindowFixture w;
        QLockFile other(w.databasePath() + u".lock"_s);
        QVERIFY(other.tryLock(0));
        Dialogs::addAnswer(openAnyway);
        QCOMPARE(w.start(), openAnyway);
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.value(1).defaultButton, QMessageBox::No);
        QVERIFY(shown[1].text.contains(u"proces %1"_s.arg(QCoreApplication::applicationPid())));
        if (openAnyway) {
            w.type(Name, u"moj"_s);
            w.edit(Price)->setFocus(Qt::TabFocusReason);
            w.tab();
            QTRY_VERIFY_WITH_TIMEOUT(w.recoveryFiles().value(0).contains(u"-pid"_s), 20000);
        } else {
            QCOMPARE(QDir(w.folder()).entryList(QDir::Files | QDir::Hidden),
                     QStringList{u"Baza.xml.lock"_s});
        }
    }

    // Where no lock can be made (here its name would be too long), no one holds one: the
    // folder's own copy is offered. Windows' paths are too short to build such a folder.
#ifndef _WIN32
    void aFolderWithoutALockOffersItsCopy()
    {
        QTemporaryDir base;
        const QString folder = base.path() + u"/m"_s.repeated((4084 - base.path().size()) / 2);
        QVERIFY(QDir().mkpath(folder));
        WindowFixture w(folder);
        QVERIFY(QDir().mkpath(os::RecoveryCopy::folder()));
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"spašen\""_s}));
        QVERIFY(QFile::rename(w.databasePath(), w.recoveryCopyPath()));
        Dialogs::addAnswer(true);
        QVERIFY(w.start());
        QCOMPARE(w.table().text(0, Name), std::string("spašen"));
        QVERIFY(QFile::remove(w.recoveryFiles().value(0)));
    }
#endif

    // A copy older than the database was left behind by a failed removal: it is offered with a
    // warning and "Ne" as the default, so an Enter never undoes newer work.
    void aCopyOlderThanTheDatabaseIsNotTheDefault()
    {
        WindowFixture w;
        QVERIFY(QDir().mkpath(os::RecoveryCopy::folder()));
        QFile copy(w.recoveryCopyPath());
        QVERIFY(copy.open(QIODevice::WriteOnly));
        copy.write(WindowFixture::packet({u"Naziv=\"stara\""_s}));
        copy.flush();
        QVERIFY(copy.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
        copy.close();
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"nova\""_s}));
        QVERIFY(w.start());
        const QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[1].text.contains(u"vjerojatno zastarjela"_s));
        QCOMPARE(shown[1].defaultButton, QMessageBox::No);
        QCOMPARE(w.table().text(0, Name), std::string("nova"));
        QVERIFY(QFile::remove(w.recoveryFiles().value(0))); // set aside, never deleted
    }

    // A database another program wrote since it was read is replaced only on the clerk's word;
    // one that vanished is simply written again.
    void aChangedDatabaseIsNotOverwritten_data()
    {
        QTest::addColumn<QVariantList>("answers");
        QTest::addColumn<QString>("inFile");
        QTest::newRow("replaced") << QVariantList{true} << u"moj"_s;
        QTest::newRow("kept") << QVariantList{false, true} << u"tuđi"_s;
        QTest::newRow("vanished") << QVariantList{} << u"moj"_s;
    }
    void aChangedDatabaseIsNotOverwritten()
    {
        QFETCH(QVariantList, answers);
        QFETCH(QString, inFile);
        WindowFixture w;
        QVERIFY(w.start());
        Dialogs::takeShown();
        w.type(Name, u"moj"_s);
        QFile::remove(w.databasePath());
        if (!answers.isEmpty())
            w.writeDatabase(WindowFixture::packet({u"Naziv=\"tuđi\""_s}));
        for (const QVariant &a : answers)
            Dialogs::addAnswer(a);
        w.form->close();
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), answers.size());
        QVERIFY(answers.isEmpty() || shown[0].defaultButton == QMessageBox::No);
        QCOMPARE(names(w.databasePath()), QStringList{inFile});
        QCOMPARE(names(w.recoveryFiles().value(0)).value(0),
                 inFile == u"moj"_s ? QString() : u"moj"_s);
    }

    // A copy that could not be written is tried again, with no further change to prompt it.
    void aFailedCopyIsTriedAgain()
    {
        WindowFixture w;
        QCoreApplication::setApplicationName(u"Kalvendor-ponovo"_s);
        QFile blocker(os::RecoveryCopy::folder()); // a file where the folder belongs
        QVERIFY(QDir().mkpath(QFileInfo(blocker).path()) && blocker.open(QIODevice::WriteOnly));
        Table table(productSchema());
        table.replaceContent({Record(table.schema().size())});
        os::RecoveryCopy copy(table, w.databasePath(), true);
        QString problem;
        copy.problemChanged = [&](const QString &p) { problem = p; };
        copy.startWrite();
        QVERIFY(!copy.writeNow().isEmpty()); // the worker's try has failed by now
        QVERIFY(!problem.isEmpty());
        QVERIFY(blocker.remove());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(copy.path()), 20000);
        QTRY_VERIFY(problem.isEmpty());
        QDir(blocker.fileName()).removeRecursively();
    }

    // The end of the session (SIGTERM; on Windows the log-off messages) closes as "Izlaz" does,
    // with no question, whatever box is open. A database another program changed meanwhile is
    // left alone, and the work goes into the recovery copy before the process ends.
    void terminationWritesTheTypedRecord_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("changedMeanwhile");
        QTest::newRow("typing") << u"type"_s << false;
        QTest::newRow("message box open") << u"box"_s << false;
        QTest::newRow("save dialog open") << u"dialog"_s << false;
        QTest::newRow("database changed meanwhile") << u"type"_s << true;
    }
    void terminationWritesTheTypedRecord()
    {
        QFETCH(QString, mode);
        QFETCH(bool, changedMeanwhile);
        QTemporaryDir folder;
        const QString database = folder.filePath(u"Baza.xml"_s);
        std::unique_ptr<QProcess> child = startDriver(folder.path(), {mode});
        QVERIFY(child);
        QByteArray changed;
        if (changedMeanwhile) {
            QFile file(database);
            QVERIFY(file.open(QIODevice::Append));
            file.write("\n");
            file.close();
            changed = WindowFixture::read(database);
        }
        endSession(*child);
        QVERIFY(child->waitForFinished(60000));
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        // No lock left behind either, though Windows ends the process after the last message.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).join(u", "_s), u"Baza.xml"_s);
        const QStringList typed{u"treći"_s, u"drugi"_s, u"prvi"_s};
        if (!changedMeanwhile) {
            QCOMPARE(names(database), typed);
            return;
        }
        QCOMPARE(WindowFixture::read(database), changed);
        const QStringList copies = WindowFixture(folder.path()).recoveryFiles();
        QCOMPARE(copies.size(), 1);
        QCOMPARE(names(copies.constFirst()), typed);
        QFile::remove(copies.constFirst());
    }
};

QTEST_MAIN(TestRecovery)
#include "TestRecovery.moc"

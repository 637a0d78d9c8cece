#include "WindowFixture.h"

#include "data/AtomicFile.h"

#include <QLockFile>
#include <QProcess>

#include <csignal>

using namespace data;
using namespace Qt::StringLiterals;
using platform::Dialogs;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList names(const Table &t)
{
    QStringList n;
    for (std::size_t r = 0; r < t.rowCount(); ++r)
        n << QString::fromStdString(t.text(r, Naziv));
    return n;
}

// The records of a database file or a copy, each field as "name=value" where it has one.
QStringList records(const QString &path)
{
    Table t(productSchema());
    t.loadFromFile(path.toStdString());
    QStringList all;
    for (std::size_t r = 0; r < t.rowCount(); ++r) {
        QStringList fields;
        for (std::size_t f = 0; f < t.fieldCount(); ++f) {
            if (!t.text(r, f).empty())
                fields << QString::fromStdString(t.schema()[f].name + "=" + t.text(r, f));
        }
        all << fields.join(u' ');
    }
    return all;
}

// The window driver in `folder`, once it has typed its records (and opened its box).
std::unique_ptr<QProcess> startDriver(const QString &folder, const QString &mode)
{
    auto child = std::make_unique<QProcess>();
    child->setWorkingDirectory(folder);
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child->start(QStringLiteral(WINDOW_DRIVER), {mode});
    QByteArray out;
    while (!out.contains("ready") && child->waitForReadyRead(60000))
        out += child->readAll();
    if (!out.contains("ready"))
        return nullptr;
    return child;
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

private slots:
    void init() { Dialogs::setScripted(true); }
    void cleanup() { setWriteFailureForTesting(std::nullopt); }

    // A killed program leaves its lock and its committed work; the next start takes the lock
    // without a word and offers the work.
    void killedProgramsWorkComesBack_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::newRow("Da") << true;
        QTest::newRow("Ne") << false;
    }

    void killedProgramsWorkComesBack()
    {
        QFETCH(bool, restore);
        QTemporaryDir folder;
        WindowFixture w(folder.path());
        const QByteArray old = WindowFixture::packet({u"Naziv=\"stari\" Kolicina=\"2.5\""_s});
        w.writeDatabase(old);

        std::unique_ptr<QProcess> child = startDriver(folder.path(), u"type"_s);
        QVERIFY(child);
        QTRY_VERIFY_WITH_TIMEOUT(w.recoveryFiles().size() == 1 &&
                                     readFile(w.recoveryFiles()[0]).contains("drugi"),
                                 20000);
        ::kill(static_cast<pid_t>(child->processId()), SIGKILL);
        QVERIFY(child->waitForFinished());
        const QString copy = w.recoveryFiles()[0];
        const QStringList typed = records(copy);
        // A new record goes ahead of the current one.
        QCOMPARE(typed,
                 (QStringList{u"Naziv=drugi"_s, u"Naziv=prvi"_s, u"Naziv=stari Kolicina=2,5"_s}));
        QVERIFY(QFile::exists(w.databasePath() + u".lock"_s));

        Dialogs::addAnswer(restore);
        QVERIFY(w.start());
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2); // the start-up message and the recovery question alone
        QCOMPARE(shown[1].title, u"Oporavak"_s);
        QCOMPARE(shown[1].defaultButton, QMessageBox::Yes);
        QVERIFY2(shown[1].text.contains(w.databasePath()) &&
                     shown[1].text.contains(u"broj zapisa: 3"_s) &&
                     shown[1].text.endsWith(u"\n\nVratiti nespremljeni rad?"_s),
                 qPrintable(shown[1].text));
        qint64 holder = 0;
        QVERIFY(QLockFile(w.databasePath() + u".lock"_s).getLockInfo(&holder, nullptr, nullptr));
        QCOMPARE(holder, QCoreApplication::applicationPid());
        QCOMPARE(readFile(w.databasePath()), old);

        if (restore) {
            QCOMPARE(names(w.table()), (QStringList{u"drugi"_s, u"prvi"_s, u"stari"_s}));
            QCOMPARE(w.recoveryFiles(), QStringList{copy}); // until the database holds it
            w.form->close();
            QCOMPARE(records(w.databasePath()), typed);
            QVERIFY(w.recoveryFiles().isEmpty());
        } else {
            QCOMPARE(names(w.table()), QStringList{u"stari"_s});
            const QStringList kept = w.recoveryFiles();
            QCOMPARE(kept.size(), 1);
            QVERIFY(QFileInfo(kept[0]).fileName().startsWith(u"odlozeno-"_s));
            QCOMPARE(records(kept[0]), typed);
        }
        w.form.reset();
        for (const QString &f : w.recoveryFiles())
            QFile::remove(f);
    }

    void anUnreadableCopyIsSetAside()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"stari\""_s}));
        const QString copy =
            QDir(platform::RecoveryCopy::folder())
                .filePath(u"oporavak-%1.xml"_s.arg(QLatin1String(
                    QCryptographicHash::hash(w.databasePath().toUtf8(), QCryptographicHash::Sha1)
                        .toHex())));
        QVERIFY(QDir().mkpath(platform::RecoveryCopy::folder()));
        writeFile(copy, "<DATAPACKET");
        QVERIFY(w.start());
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].kind, Dialogs::Kind::Message);
        QVERIFY2(shown[1].text.startsWith(u"Kopiju nespremljenog rada nije moguće pročitati"_s),
                 qPrintable(shown[1].text));
        QCOMPARE(names(w.table()), QStringList{u"stari"_s});
        const QStringList kept = w.recoveryFiles();
        QCOMPARE(kept.size(), 1);
        QVERIFY(shown[1].text.contains(kept[0]));
        QCOMPARE(readFile(kept[0]), QByteArray("<DATAPACKET"));
    }

    // Every write of the database that holds the work removes the copy.
    void aSavedDatabaseRemovesTheCopy_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QVariantList>("answers");
        QTest::newRow("close") << u"BitBtnExit"_s << QVariantList{};
        QTest::newRow("export") << u"BitBtnExport"_s << QVariantList{QString()};
        QTest::newRow("erase") << u"BitBtnErase"_s << QVariantList{true, true};
    }

    void aSavedDatabaseRemovesTheCopy()
    {
        QFETCH(QString, command);
        QFETCH(QVariantList, answers);
        WindowFixture w;
        QVERIFY(w.start());
        w.type(Naziv, u"prvi"_s);
        w.edit(Cijena)->setFocus(Qt::TabFocusReason);
        w.tab();
        QTRY_COMPARE_WITH_TIMEOUT(w.recoveryFiles().size(), 1, 20000);
        QCOMPARE(records(w.recoveryFiles()[0]), QStringList{u"Naziv=prvi"_s});
        for (const QVariant &a : answers)
            Dialogs::addAnswer(a);
        w.click(command.toLatin1().constData());
        QVERIFY(w.recoveryFiles().isEmpty());
        QCOMPARE(records(w.databasePath()).size(), command == u"BitBtnErase"_s ? 0 : 1);
    }

    // A second program on a locked folder: "Ne" (the default) ends it without a file written;
    // "Da" opens the database, with a copy of its own.
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
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"stari\""_s}));
        const QByteArray before = w.readDatabase();
        QLockFile other(w.databasePath() + u".lock"_s);
        QVERIFY(other.tryLock(0));
        Dialogs::addAnswer(openAnyway);
        QCOMPARE(w.start(), openAnyway);
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].defaultButton, QMessageBox::No);
        QVERIFY2(shown[1].text.contains(u"proces %1"_s.arg(QCoreApplication::applicationPid())),
                 qPrintable(shown[1].text));
        if (openAnyway) {
            w.type(Naziv, u"moj"_s);
            w.edit(Cijena)->setFocus(Qt::TabFocusReason);
            w.tab();
            QTRY_COMPARE_WITH_TIMEOUT(w.recoveryFiles().size(), 1, 20000);
            QVERIFY(QFileInfo(w.recoveryFiles()[0]).fileName().contains(u"-pid"_s));
        } else {
            QTest::qWait(100);
            QCOMPARE(QDir(w.folder()).entryList(QDir::Files | QDir::Hidden),
                     (QStringList{u"Baza.xml"_s, u"Baza.xml.lock"_s}));
            QCOMPARE(w.readDatabase(), before);
            QVERIFY(w.recoveryFiles().isEmpty());
        }
    }

    // A database another program wrote since it was read is replaced only on the clerk's word.
    void aChangedDatabaseIsNotOverwritten_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QVariantList>("answers");
        QTest::addColumn<QString>("written");
        QTest::newRow("replaced") << u"write"_s << QVariantList{true} << u"moj"_s;
        QTest::newRow("kept") << u"write"_s << QVariantList{false, true} << u"tuđi"_s;
        QTest::newRow("vanished") << u"remove"_s << QVariantList{} << u"moj"_s;
    }

    void aChangedDatabaseIsNotOverwritten()
    {
        QFETCH(QString, change);
        QFETCH(QVariantList, answers);
        QFETCH(QString, written);
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"stari\""_s}));
        QVERIFY(w.start());
        Dialogs::takeShown();
        w.click("BitBtnAdd");
        w.type(Naziv, u"moj"_s);
        if (change == u"remove"_s)
            QVERIFY(QFile::remove(w.databasePath()));
        else
            writeFile(w.databasePath(), WindowFixture::packet({u"Naziv=\"tuđi\""_s}));
        for (const QVariant &a : answers)
            Dialogs::addAnswer(a);
        w.form->close();
        QVERIFY(!w.form->isVisible());

        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), answers.size());
        if (!shown.isEmpty()) {
            QCOMPARE(shown[0].defaultButton, QMessageBox::No);
            QVERIFY(shown[0].text.startsWith(
                u"Bazu \"%1\" je u međuvremenu promijenio drugi program."_s.arg(w.databasePath())));
        }
        QVERIFY(names(w.table()).contains(u"moj"_s));
        const QStringList inFile = records(w.databasePath());
        QVERIFY2(inFile.contains(u"Naziv="_s + written), qPrintable(inFile.join(u'|')));
        if (written == u"tuđi"_s)
            QVERIFY(readFile(w.recoveryFiles().value(0)).contains("Naziv=\"moj\""));
        else
            QVERIFY(w.recoveryFiles().isEmpty());
    }

    // SIGTERM closes as "Izlaz" does, with no question, whatever is open; the typed record is
    // written.
    void terminationWritesTheTypedRecord_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("typing") << u"type"_s;
        QTest::newRow("message box open") << u"box"_s;
        QTest::newRow("save dialog open") << u"dialog"_s;
    }

    void terminationWritesTheTypedRecord()
    {
        QFETCH(QString, mode);
        QTemporaryDir folder;
        const QString database = QDir(folder.path()).filePath(u"Baza.xml"_s);
        std::unique_ptr<QProcess> child = startDriver(folder.path(), mode);
        QVERIFY(child);
        ::kill(static_cast<pid_t>(child->processId()), SIGTERM);
        QVERIFY(child->waitForFinished(60000));
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
        QCOMPARE(records(database),
                 (QStringList{u"Naziv=treći"_s, u"Naziv=drugi"_s, u"Naziv=prvi"_s}));
        QVERIFY(!QFile::exists(database + u".lock"_s));
    }
};

QTEST_MAIN(TestRecovery)
#include "TestRecovery.moc"

#include "WindowFixture.h"

#include "data/AtomicFile.h"

#include <QTableView>

using namespace data;
using namespace Qt::StringLiterals;
using platform::Dialogs;

class TestStartAndClose : public QObject {
    Q_OBJECT

private slots:
    void init() { Dialogs::setScripted(true); }
    void cleanup() { setWriteFailureForTesting(std::nullopt); }

    void firstStartInAnEmptyFolder()
    {
        WindowFixture w;
        QVERIFY(w.start());
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Dialogs::Kind::Message);
        QCOMPARE(shown[0].title, QString()); // the start-up message has an empty caption
        QVERIFY(shown[0].text.startsWith(QStringLiteral("Kalvendor\n\n")));
        QVERIFY(shown[0].text.endsWith(QStringLiteral("\n\nv 2.1")));
        QCOMPARE(shown[0].text.count(QLatin1Char('\n')), 11);

        const QByteArray file = w.readDatabase();
        QCOMPARE(file.count("<FIELD "), 12);
        QVERIFY(!file.contains("<ROW "));

        // One blank record ready for typing; nothing to delete yet.
        QCOMPARE(w.table().rowCount(), 1u);
        QCOMPARE(w.table().state(), TableState::Insert);
        QVERIFY(!w.button("BitBtnDel")->isEnabled());
        QCOMPARE(w.count(), QStringLiteral("0"));
        QCOMPARE(w.focus(), w.button("BitBtnAdd"));
    }

    void startWithRecordsOpensOnTheLast()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({QStringLiteral("Naziv=\"a\""),
                                               QStringLiteral("Naziv=\"b\" Kolicina=\"2.5\""),
                                               QStringLiteral("Naziv=\"c\"")}));
        QVERIFY(w.start());
        QCOMPARE(w.value(Naziv), QStringLiteral("c"));
        QCOMPARE(w.edit(Naziv)->text(), QStringLiteral("c"));
        QCOMPARE(w.widget<QTableView>("DBGridLijekovi")->currentIndex().row(), 2);
        QVERIFY(w.button("BitBtnDel")->isEnabled());
        QCOMPARE(w.count(), QStringLiteral("3"));
        QCOMPARE(w.valueAt(1, Kolicina), QStringLiteral("2,5"));
    }

    void closingWritesNamedRecordsAndTheEditInProgress()
    {
        WindowFixture w;
        w.writeDatabase(
            WindowFixture::packet({QStringLiteral("Naziv=\"a\""), QStringLiteral("Tar_br=\"1\""),
                                   QStringLiteral("Naziv=\" \""), QStringLiteral("Naziv=\"b\"")}));
        QVERIFY(w.start());
        w.type(Protokol, QStringLiteral("P-9"));
        w.click("BitBtnExit");
        QVERIFY(!w.form->isVisible());
        QVERIFY(Dialogs::takeShown().size() == 1);

        Table reread(productSchema());
        reread.loadFromFile(w.databasePath().toStdString());
        QCOMPARE(reread.rowCount(), 3u); // the unnamed record is gone; a name of spaces stays
        QCOMPARE(reread.text(0, Naziv), std::string("a"));
        QCOMPARE(reread.text(1, Naziv), std::string(" "));
        QCOMPARE(reread.text(2, Protokol), std::string("P-9"));
    }

    void aFailedWriteAsksBeforeClosing()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({QStringLiteral("Naziv=\"a\"")}));
        const QByteArray before = w.readDatabase();
        QVERIFY(w.start());
        Dialogs::takeShown();
        w.type(Naziv, QStringLiteral("changed"));

        setWriteFailureForTesting(WriteStep::Flush);
        Dialogs::addAnswer(false);
        w.form->close();
        auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Dialogs::Kind::Question);
        QCOMPARE(shown[0].title, QStringLiteral("Pažnja!"));
        QVERIFY(shown[0].text.startsWith(u"Baza \"%1\" nije spremljena: "_s.arg(w.databasePath())));
        QVERIFY(shown[0].text.endsWith(QStringLiteral("\n\nZatvoriti program bez spremanja?")));
        // No: the window stays open with every record, the old file whole.
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.value(Naziv), QStringLiteral("changed"));
        QCOMPARE(w.readDatabase(), before);

        // Yes: the window closes without writing.
        Dialogs::addAnswer(true);
        w.form->close();
        QVERIFY(!w.form->isVisible());
        QCOMPARE(w.readDatabase(), before);
        QCOMPARE(QDir(w.folder()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("Baza.xml"), QStringLiteral("Baza.xml.lock")}));
    }

    // The work survives a folder that vanishes: in the copy while it is gone, in the folder
    // once it is back.
    void aVanishedFolderIsReportedAtClose()
    {
        WindowFixture w;
        QVERIFY(w.start());
        Dialogs::takeShown();
        w.type(Naziv, QStringLiteral("prvi"));
        QVERIFY(QDir(w.folder()).removeRecursively());
        w.form->close();
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(u"Baza \"%1\" nije spremljena: "_s.arg(w.databasePath())));
        QVERIFY(w.form->isVisible());
        QVERIFY(WindowFixture::read(w.recoveryFiles().value(0)).contains("Naziv=\"prvi\""));

        QVERIFY(QDir().mkpath(w.folder()));
        w.form->close();
        QVERIFY(!w.form->isVisible());
        QVERIFY(Dialogs::takeShown().isEmpty());
        QVERIFY(w.readDatabase().contains("Naziv=\"prvi\""));
        QVERIFY(w.recoveryFiles().isEmpty());
    }

    void firstStartInAFolderThatCannotBeWritten()
    {
        WindowFixture w;
        setWriteFailureForTesting(WriteStep::Open);
        QVERIFY(w.start());
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.value(1).kind, Dialogs::Kind::Error);
        QCOMPARE(w.table().state(), TableState::Insert); // ready for typing all the same
        QVERIFY(!w.button("BitBtnDel")->isEnabled());
    }

    void anUnreadableFileLeavesTheTableClosed()
    {
        WindowFixture w;
        const QByteArray garbage = QByteArrayLiteral("<DATAPACKET><ROWDATA><ROW Naziv=\"a\"");
        w.writeDatabase(garbage);
        QVERIFY(w.start());
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].kind, Dialogs::Kind::Error);
        QCOMPARE(shown[1].title, QStringLiteral("Kalvendor"));
        QCOMPARE(shown[1].icon, QMessageBox::Critical);
        QVERIFY2(shown[1].text.startsWith(
                     QStringLiteral("Datoteka \"%1/Baza.xml\" nije ispravna (redak 1): ")
                         .arg(w.folder())),
                 qPrintable(shown[1].text));

        QVERIFY(!w.table().isActive());
        QVERIFY(w.edit(Naziv)->isReadOnly());
        // Navigation and delete do nothing on a closed table.
        w.click("BitBtnFirst");
        w.click("BitBtnDel");
        QCOMPARE(w.focus(), w.edit(Tar_br));
        QVERIFY(Dialogs::takeShown().isEmpty());

        // Closing writes nothing: the file stays byte for byte as it was.
        w.form->close();
        QVERIFY(!w.form->isVisible());
        QCOMPARE(w.readDatabase(), garbage);
    }
};

QTEST_MAIN(TestStartAndClose)
#include "TestStartAndClose.moc"

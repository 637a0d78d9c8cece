#include "WindowFixture.h"

#include "format/TextExport.h"
#include "platform/AtomicFile.h"

#include <QFileInfo>
#include <QStandardPaths>

using namespace data;
using namespace Qt::StringLiterals;
using gui::Dialogs;

namespace {

// Records in a database file; a record with every field empty is written as <ROW/>.
qsizetype storedRows(const QByteArray &database)
{
    return database.count("<ROW ") + database.count("<ROW/>");
}

// The error box of a failed write of `path`, with the system's reason after it.
bool isWriteError(const Dialogs::Shown &shown, const QString &path)
{
    return shown.kind == Dialogs::Kind::Error &&
           shown.text.startsWith(u"Datoteku „"_s + path + u"” nije moguće spremiti: "_s);
}

} // namespace

class TestExportAndErase : public QObject {
    Q_OBJECT

private:
    // Clicks `button` with the scripted answers; returns the boxes it showed.
    static QList<Dialogs::Shown> clickWith(WindowFixture &w, const char *button,
                                           const QVariantList &answers)
    {
        Dialogs::takeShown();
        for (const QVariant &a : answers)
            Dialogs::addAnswer(a);
        w.click(button);
        return w.shownAfterEvents();
    }
    static QList<Dialogs::Shown> exportWith(WindowFixture &w, const QVariant &answer)
    {
        return clickWith(w, "exportButton", {answer});
    }

private slots:
    void cleanup() { setWriteFailureForTesting(std::nullopt); }

    void exportWritesNamedRecordsByteForByte()
    {
        // A clerk's folder with Croatian letters, as under C:\Users\Đurđa.
        QTemporaryDir home;
        const QString folder = home.filePath(u"Đurđa/Čakovec"_s);
        QVERIFY(QDir().mkpath(folder));
        WindowFixture w(folder);
        QVERIFY(w.startWith({
            u"Tar_br=\"3005909000\" Naziv=\"Šprica\" Gen_ime=\"KAT-đ1\" ATK=\"Ž01\" "
            u"Proizvodjac=\"Proizvođač\" Dobavljac=\"Dobavljač\" Uvoznik=\"Bolnica\" "
            u"Jed_mjere=\"kom\" Kolicina=\"12.5\" Valuta=\"EUR\" Cijena=\"3.20\" Protokol=\"P/1\""_s,
            u"Naziv=\"\" Dobavljac=\"bez imena\""_s,
            u"Naziv=\"Kapi &quot;Oko&quot;; 10 ml\" Gen_ime=\";\" Cijena=\"-0.5\" Protokol=\"&quot;\""_s,
        }));
        // The record's field order, not the grid's: Protokol is last.
        const QByteArray expected =
            u"\"3005909000\";\"Šprica\";\"KAT-đ1\";\"Ž01\";\"Proizvođač\";\"Dobavljač\";"
            u"\"Bolnica\";\"kom\";\"12,5\";\"EUR\";\"3,2\";\"P/1\"\r\n"
            u"\"\";\"Kapi \"Oko\"; 10 ml\";\";\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"-0,5\";\"\"\"\r\n"_s
                .toUtf8();

        // The first offer is "trelavo.txt" beside the list.
        const QString target = QDir(w.folder()).filePath(u"izvoz.txt"_s);
        auto shown = exportWith(w, target);
        QCOMPARE(WindowFixture::texts(shown),
                 QDir(folder).filePath(u"trelavo.txt"_s) + u" | Baza eksportirana u "_s + target);
        QCOMPARE(shown[0].kind, Dialogs::Kind::SaveFile);
        QCOMPARE(shown[0].title, u"Tekst (*.txt)"_s);
        QCOMPARE(shown[1].kind, Dialogs::Kind::Message);
        QCOMPARE(shown[1].title, u"Poruka"_s);
        // No BOM, CR LF after the last line too.
        QCOMPARE(WindowFixture::read(target), expected);
        QCOMPARE(w.focus(), w.button("addButton"));

        // The unnamed record is gone from the database as well; the last record is current.
        const QByteArray database = w.readDatabase();
        QCOMPARE(storedRows(database), 2);
        QVERIFY(!database.contains("bez imena"));
        QCOMPARE(w.table().currentRow(), 1u);

        // A confirmed file is offered next time, and a cancel keeps the offer.
        QCOMPARE(exportWith(w, QString()).constFirst().text, target);
        const QString second = QDir(w.folder()).filePath(u"Popis č ć đ š ž.txt"_s);
        QCOMPARE(WindowFixture::texts(exportWith(w, second)),
                 target + u" | Baza eksportirana u "_s + second);
        QCOMPARE(WindowFixture::read(second), expected);

        w.click("exitButton");
        w.form.reset();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"Baza.xml"_s, u"izvoz.txt"_s, u"Popis č ć đ š ž.txt"_s}));
        QCOMPARE(storedRows(WindowFixture::read(w.databasePath())), 2);
    }

    // The checks only show: the window saves and exports what the core alone makes of the file.
    void warningsLeaveFileAndExportAlone()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({
            u"Tar_br=\"3004.90\" Naziv=\"a\" ATK=\"N2BA01\" Valuta=\"hrk\" Kolicina=\"0\""_s,
            u"Naziv=\"b\" Cijena=\"-1\""_s,
            u"Naziv=\"b\" Cijena=\"-1\""_s,
        }));
        Table plain(productSchema());
        readDatabase(plain, w.databasePath().toStdString());
        const QString plainFile = QDir(w.folder()).filePath(u"plain.xml"_s);
        writeDatabase(plain, plainFile.toStdString());
        QVERIFY(w.start());
        QCOMPARE(w.widget<QLabel>("warningCount")->text(), u"Upozorenja: 3"_s);

        const QString target = QDir(w.folder()).filePath(u"izvoz.txt"_s);
        QCOMPARE(exportWith(w, target).size(), 2); // the save dialog and the message only
        QCOMPARE(WindowFixture::read(target),
                 QByteArray::fromStdString(textexport::exportText(plain)));
        QCOMPARE(w.readDatabase(), WindowFixture::read(plainFile));
        w.form->close();
        QVERIFY(Dialogs::takeShown().isEmpty());
        QCOMPARE(w.readDatabase(), WindowFixture::read(plainFile));
    }

    void cancelledExportStillSavesTheDatabase()
    {
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"Stari\""_s}));
        w.click("addButton");
        w.type(Name, u"Novi čaj"_s);

        QCOMPARE(exportWith(w, QString()).size(), 1); // the dialog, no message
        const QByteArray database = w.readDatabase();
        QCOMPARE(storedRows(database), 2);
        QVERIFY(database.indexOf(u"Novi čaj"_s.toUtf8()) >= 0);
        QVERIFY(database.indexOf(u"Novi čaj"_s.toUtf8()) < database.indexOf("Stari"));
        QCOMPARE(QDir(w.folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{u"Baza.xml"_s, u"Baza.xml.lock"_s})); // no export, no temporary file
        QCOMPARE(w.focus(), w.button("addButton"));
    }

    void failedExport()
    {
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"a\""_s, u"Naziv=\"\""_s}));
        const QString target = QDir(w.folder()).filePath(u"nema/lista.txt"_s);
        auto shown = exportWith(w, target);
        QCOMPARE(shown.size(), 2); // the dialog, then the error; no confirmation
        QCOMPARE(shown[1].text, u"Datoteku „"_s + target +
                                    u"” nije moguće spremiti: nema takve datoteke ili mape"_s);
        QCOMPARE(w.focus(), w.button("exportButton"));
        // The database was saved before the dialog opened.
        QCOMPARE(storedRows(w.readDatabase()), 1);

        // A failure while saving the database stops the export before the dialog.
        w.click("addButton");
        w.type(Name, u"b"_s);
        const QByteArray database = w.readDatabase();
        setWriteFailureForTesting(WriteStep::Rename);
        shown = exportWith(w, target);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(isWriteError(shown[0], w.folder() + u"/Baza.xml"_s), qPrintable(shown[0].text));
        QCOMPARE(Dialogs::pendingAnswers(), 1);
        QCOMPARE(w.readDatabase(), database);
        QCOMPARE(w.focus(), w.button("exportButton"));
    }

    // A record was committed with a supplier, and the clerk typed a name into the record begun
    // after it when "Izbriši baze" is clicked.
    void erase_data()
    {
        QTest::addColumn<QVariantList>("answers");
        QTest::addColumn<bool>("writeFails");
        QTest::newRow("declined") << QVariantList{false} << false;
        QTest::newRow("declined the second time") << QVariantList{true, false} << false;
        QTest::newRow("confirmed") << QVariantList{true, true} << false;
        QTest::newRow("confirmed, write fails") << QVariantList{true, true} << true;
    }

    void erase()
    {
        QFETCH(QVariantList, answers);
        QFETCH(bool, writeFails);
        const bool erased = answers.size() == 2 && answers[1].toBool() && !writeFails;
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"a\" Valuta=\"EUR\""_s, u"Naziv=\"b\""_s}));
        const QByteArray before = w.readDatabase();
        QVERIFY(w.start());
        w.type(Supplier, u"Dobavljač 2"_s);
        w.click("addButton");
        w.type(Name, u"Novi"_s);

        if (writeFails)
            setWriteFailureForTesting(WriteStep::Rename);
        const auto shown = clickWith(w, "eraseButton", answers);
        setWriteFailureForTesting(std::nullopt);
        QCOMPARE(shown.size(), answers.size() + (answers.size() == 2 && answers[1].toBool()));
        const QString questions[] = {u"Praznim baze?"_s,
                                     u"Jeste li SIGURNI?\nNakon ovog nema povratka!"_s};
        for (qsizetype i = 0; i < answers.size(); ++i) {
            QCOMPARE(shown[i].kind, Dialogs::Kind::Question);
            QCOMPARE(shown[i].text, questions[i]);
            QCOMPARE(shown[i].title, u"Pažnja!"_s);
        }
        QCOMPARE(w.focus(), writeFails ? w.widget("eraseButton") : w.edit(TariffNumber));
        if (writeFails)
            QVERIFY2(isWriteError(shown.constLast(), w.folder() + u"/Baza.xml"_s),
                     qPrintable(shown.last().text));

        if (!erased) {
            QCOMPARE(w.readDatabase(), before);
            QCOMPARE(w.table().recordCount(), 2u);
            QCOMPARE(w.value(Name), u"Novi"_s);
            // The carried-over values are still there for the next record.
            w.click("addButton");
            QCOMPARE(w.value(Supplier), u"Dobavljač 2"_s);
            QCOMPARE(w.table().recordCount(), 3u);
            return;
        }
        QCOMPARE(shown.constLast().kind, Dialogs::Kind::Message);
        QCOMPARE(shown.constLast().text, u"Baze prezne!"_s);
        QCOMPARE(w.table().rowCount(), 0u);
        QCOMPARE(w.count(), u"0"_s);
        QCOMPARE(w.edit(Name)->text(), QString());
        QVERIFY(w.readDatabase().contains("<FIELD"));
        QCOMPARE(storedRows(w.readDatabase()), 0);
        // An export now replaces a file with an empty one.
        const QString target = QDir(w.folder()).filePath(u"prazno.txt"_s);
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old contents\r\n") > 0);
        old.close();
        QCOMPARE(exportWith(w, target).constLast().text, u"Baza eksportirana u "_s + target);
        QCOMPARE(QFileInfo(target).size(), 0);
        QVERIFY(QFile::remove(target));

        // The earlier carried-over values do not come back.
        w.click("addButton");
        QCOMPARE(w.value(Supplier), QString());
    }
};

QTEST_MAIN(TestExportAndErase)
#include "TestExportAndErase.moc"

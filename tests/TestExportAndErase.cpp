#include "WindowFixture.h"

#include "data/AtomicFile.h"
#include "export/TextExport.h"

#include <QDateTime>
#include <QFileInfo>
#include <QStandardPaths>

using namespace data;
using platform::Dialogs;

namespace {

QString u(const char *text)
{
    return QString::fromUtf8(text);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Records in a database file; a record with every field empty is written as <ROW/>.
qsizetype storedRows(const QByteArray &database)
{
    return database.count("<ROW ") + database.count("<ROW/>");
}

// Everything in a folder, hidden files included: a temporary file left behind shows here.
// What the folder holds besides the lock of the window that runs there.
QStringList entries(const QString &folder)
{
    QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    names.removeOne(u("Baza.xml.lock"));
    return names;
}

// A save-dialog answer that confirms `path` and, as the dialog closes, makes every file write
// fail at `step`. The database is written before the dialog opens, so only the export's own
// write meets the failure.
struct FailingAnswer {
    QString path;
    WriteStep step;
};

const WriteStep allSteps[] = {WriteStep::Open, WriteStep::Write, WriteStep::Flush,
                              WriteStep::Rename};

bool isWriteError(const Dialogs::Shown &shown, const QString &fileName)
{
    return shown.kind == Dialogs::Kind::Error && shown.title == u("Kalvendor") &&
           shown.text.startsWith(u("Datoteku \"") + fileName + u("\" nije moguće spremiti: "));
}

bool isQuestion(const Dialogs::Shown &shown, const QString &text)
{
    return shown.kind == Dialogs::Kind::Question && shown.text == text &&
           shown.title == u("Pažnja!") && shown.buttons == (QMessageBox::Yes | QMessageBox::No) &&
           shown.icon == QMessageBox::NoIcon;
}

const QString firstQuestion = u("Praznim baze?");
const QString secondQuestion = u("Jeste li SIGURNI?\nNakon ovog nema povratka!");

} // namespace

class TestExportAndErase : public QObject {
    Q_OBJECT

private:
    // Clicks "Export u tekst" with `answer` for the save dialog; returns what was shown.
    static QList<Dialogs::Shown> exportWith(WindowFixture &w, const QVariant &answer)
    {
        Dialogs::takeShown();
        Dialogs::addAnswer(answer);
        w.click("BitBtnExport");
        return w.shownAfterEvents();
    }

    static QList<Dialogs::Shown> eraseWith(WindowFixture &w, std::initializer_list<bool> answers)
    {
        Dialogs::takeShown();
        for (bool a : answers)
            Dialogs::addAnswer(a);
        w.click("BitBtnErase");
        return w.shownAfterEvents();
    }

private slots:
    void initTestCase()
    {
        QMetaType::registerConverter<FailingAnswer, QString>([](const FailingAnswer &a) {
            setWriteFailureForTesting(a.step);
            return a.path;
        });
    }
    void init() { Dialogs::setScripted(true); }
    void cleanup() { setWriteFailureForTesting(std::nullopt); }

    void exportWritesNamedRecordsByteForByte()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({
            u("Tar_br=\"3005909000\" Naziv=\"Šprica ćelija\" Gen_ime=\"KAT-đ1\" ATK=\"Ž01\" "
              "Proizvodjac=\"Proizvođač d.o.o.\" Dobavljac=\"Dobavljač\" "
              "Uvoznik=\"Bolnica Čakovec\" Jed_mjere=\"kom\" Kolicina=\"12.5\" Valuta=\"EUR\" "
              "Cijena=\"3.20\" Protokol=\"P-ž/1\""),
            u("Naziv=\"\" Dobavljac=\"bez imena\""),
            u("Naziv=\"Gaza\""),
            u("Naziv=\"Kapi &quot;Oko&quot;; 10 ml\" Gen_ime=\"a;b\" Kolicina=\"1e3\" "
              "Cijena=\"-0.5\" Protokol=\"&quot;\""),
            u("Naziv=\" \" Kolicina=\"0.10\""),
        }));
        QVERIFY(w.start());

        // The record's field order, not the grid's: Protokol is last.
        const QByteArray expected =
            u("\"3005909000\";\"Šprica ćelija\";\"KAT-đ1\";\"Ž01\";\"Proizvođač d.o.o.\";"
              "\"Dobavljač\";\"Bolnica Čakovec\";\"kom\";\"12,5\";\"EUR\";\"3,2\";\"P-ž/1\"\r\n"
              "\"\";\"Gaza\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\"\r\n"
              "\"\";\"Kapi \"Oko\"; 10 ml\";\"a;b\";\"\";\"\";\"\";\"\";\"\";\"1000\";\"\";"
              "\"-0,5\";\"\"\"\r\n"
              "\"\";\" \";\"\";\"\";\"\";\"\";\"\";\"\";\"0,1\";\"\";\"\";\"\"\r\n")
                .toUtf8();

        // The first offer is "trelavo.txt" in Documents, or home when there is none.
        const QString target = QDir(w.folder()).filePath(u("izvoz.txt"));
        auto shown = exportWith(w, target);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, Dialogs::Kind::SaveFile);
        QCOMPARE(shown[0].title, u("Tekst (*.txt)"));
        const QFileInfo offered(shown[0].text);
        QCOMPARE(offered.fileName(), u("trelavo.txt"));
        QVERIFY(offered.absolutePath() ==
                    QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) ||
                offered.absolutePath() == QDir::homePath());
        QCOMPARE(shown[1].kind, Dialogs::Kind::Message);
        QCOMPARE(shown[1].text, u("Baza eksportirana u ") + target);
        QCOMPARE(shown[1].title, u("Poruka"));
        QCOMPARE(fileBytes(target), expected); // no BOM, CR LF after the last line too
        QCOMPARE(w.focus(), w.button("BitBtnAdd"));

        // The unnamed record is gone from the database as well; the last record is current.
        const QByteArray database = w.readDatabase();
        QCOMPARE(storedRows(database), 4);
        QVERIFY(!database.contains("bez imena"));
        QCOMPARE(w.table().currentRow(), 3u);

        // A cancel keeps the offer; a confirmed file is offered next time.
        shown = exportWith(w, QString());
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, target);
        const QString second = QDir(w.folder()).filePath(u("Popis č ć đ š ž.txt"));
        shown = exportWith(w, second);
        QCOMPARE(shown[0].text, target);
        QCOMPARE(shown[1].text, u("Baza eksportirana u ") + second);
        QCOMPARE(fileBytes(second), expected);
        shown = exportWith(w, QString());
        QCOMPARE(shown[0].text, second);
    }

    // The checks only show: the window saves and exports what the core alone makes of the file.
    void warningsLeaveFileAndExportAlone()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({
            u("Tar_br=\"3004.90\" Naziv=\"a\" ATK=\"N2BA01\" Valuta=\"hrk\" Kolicina=\"0\""),
            u("Naziv=\"b\" Cijena=\"-1\""),
            u("Naziv=\"b\" Cijena=\"-1\""),
        }));
        Table plain(productSchema());
        plain.loadFromFile(w.databasePath().toStdString());
        const QString plainFile = QDir(w.folder()).filePath(u("plain.xml"));
        plain.saveToFile(plainFile.toStdString());
        QVERIFY(w.start());
        QCOMPARE(w.widget<QLabel>("lblNumOfWarnings")->text(), u("Upozorenja: 3"));

        const QString target = QDir(w.folder()).filePath(u("izvoz.txt"));
        QCOMPARE(exportWith(w, target).size(), 2); // the save dialog and the message only
        QCOMPARE(fileBytes(target), QByteArray::fromStdString(textexport::exportText(plain)));
        QCOMPARE(w.readDatabase(), fileBytes(plainFile));
        w.form->close();
        QVERIFY(Dialogs::takeShown().isEmpty());
        QCOMPARE(w.readDatabase(), fileBytes(plainFile));
    }

    void emptyTableGivesAnEmptyFile()
    {
        // No database yet: the window starts on a begun record without a name.
        WindowFixture w;
        QVERIFY(w.start());
        QCOMPARE(w.table().state(), TableState::Insert);
        const QString target = QDir(w.folder()).filePath(u("prazno.txt"));
        writeBytes(target, "old contents\r\n");
        const auto shown = exportWith(w, target);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].text, u("Baza eksportirana u ") + target);
        QCOMPARE(shown[1].title, u("Poruka"));
        QVERIFY(QFileInfo::exists(target));
        QCOMPARE(QFileInfo(target).size(), 0);
        QCOMPARE(storedRows(w.readDatabase()), 0);
        QCOMPARE(w.focus(), w.button("BitBtnAdd"));
    }

    void cancelledExportStillSavesTheDatabase()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u("Naziv=\"Stari\"")}));
        QVERIFY(w.start());
        w.click("BitBtnAdd");
        w.type(Naziv, u("Novi čaj"));

        const auto shown = exportWith(w, QString());
        QCOMPARE(shown.size(), 1); // the dialog, no message
        QCOMPARE(shown[0].kind, Dialogs::Kind::SaveFile);
        const QByteArray database = w.readDatabase();
        QCOMPARE(storedRows(database), 2);
        QVERIFY(database.indexOf(u("Novi čaj").toUtf8()) >= 0);
        QVERIFY(database.indexOf(u("Novi čaj").toUtf8()) < database.indexOf("Stari"));
        QCOMPARE(entries(w.folder()), QStringList{u("Baza.xml")});
        QCOMPARE(w.focus(), w.button("BitBtnAdd"));
    }

    void failedExportKeepsTheOldFile()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u("Naziv=\"a\""), u("Naziv=\"\"")}));
        QVERIFY(w.start());
        QVERIFY(QDir(w.folder()).mkdir(u("izvoz")));
        const QString folder = QDir(w.folder()).filePath(u("izvoz"));
        const QString target = QDir(folder).filePath(u("lista.txt"));
        const QByteArray old = "\"stari\";\"izvoz\"\r\n";
        writeBytes(target, old);

        for (WriteStep step : allSteps) {
            const auto shown = exportWith(w, QVariant::fromValue(FailingAnswer{target, step}));
            setWriteFailureForTesting(std::nullopt);
            QCOMPARE(shown.size(), 2); // the dialog, then the error; no confirmation
            QCOMPARE(shown[0].kind, Dialogs::Kind::SaveFile);
            QVERIFY2(isWriteError(shown[1], target), qPrintable(shown[1].text));
            QCOMPARE(fileBytes(target), old);
            QCOMPARE(entries(folder), QStringList{u("lista.txt")});
            QCOMPARE(w.focus(), w.button("BitBtnExport"));
        }
        // The database was saved before the dialog opened.
        QCOMPARE(storedRows(w.readDatabase()), 1);

        // A failure while saving the database stops the export before the dialog.
        w.click("BitBtnAdd");
        w.type(Naziv, u("b"));
        const QByteArray database = w.readDatabase();
        setWriteFailureForTesting(WriteStep::Rename);
        const auto shown = exportWith(w, target);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(isWriteError(shown[0], w.folder() + u("/Baza.xml")), qPrintable(shown[0].text));
        QCOMPARE(Dialogs::pendingAnswers(), 1);
        QCOMPARE(w.readDatabase(), database);
        QCOMPARE(entries(w.folder()), (QStringList{u("Baza.xml"), u("izvoz")}));
        QCOMPARE(w.focus(), w.button("BitBtnExport"));
    }

    void exportWithTheTableClosed()
    {
        WindowFixture w;
        w.writeDatabase("not xml");
        QVERIFY(w.start());
        QVERIFY(!w.table().isActive());
        const auto shown = exportWith(w, QDir(w.folder()).filePath(u("x.txt")));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Dialogs::Kind::Message);
        QCOMPARE(shown[0].text, u("DataSet nije aktivan."));
        QCOMPARE(shown[0].title, u("Greška!"));
        QCOMPARE(w.focus(), w.button("BitBtnAdd"));
        QCOMPARE(w.readDatabase(), QByteArray("not xml"));
        QCOMPARE(entries(w.folder()), QStringList{u("Baza.xml")});
    }

    void declinedEraseChangesNothing()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u("Naziv=\"a\""), u("Naziv=\"b\"")}));
        QVERIFY(w.start());
        // A committed edit gives the carried-over values; the record begun after it holds them.
        w.type(Dobavljac, u("Dobavljač 2"));
        w.click("BitBtnAdd");
        const QByteArray database = w.readDatabase();

        for (const auto &answers : {std::initializer_list<bool>{false}, {true, false}}) {
            const auto shown = eraseWith(w, answers);
            QCOMPARE(shown.size(), static_cast<qsizetype>(answers.size()));
            QVERIFY(isQuestion(shown[0], firstQuestion));
            if (shown.size() > 1)
                QVERIFY(isQuestion(shown[1], secondQuestion));
            QCOMPARE(w.focus(), w.edit(Tar_br));
            QCOMPARE(w.table().state(), TableState::Insert);
            QCOMPARE(w.table().recordCount(), 2u);
            QCOMPARE(w.value(Dobavljac), u("Dobavljač 2"));
            QCOMPARE(w.readDatabase(), database);
        }
        // The carried-over values are still there for the next record.
        w.type(Naziv, u("c"));
        w.click("BitBtnAdd");
        QCOMPARE(w.value(Dobavljac), u("Dobavljač 2"));
        QCOMPARE(w.table().recordCount(), 3u);
    }

    void confirmedEraseDiscardsAPendingChange()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u("Naziv=\"a\" Valuta=\"EUR\""), u("Naziv=\"b\"")}));
        QVERIFY(w.start());
        w.type(Dobavljac, u("Stari"));
        w.click("BitBtnAdd");
        QCOMPARE(w.value(Dobavljac), u("Stari"));
        // Typed into the begun record and not committed.
        w.type(Naziv, u("Novi"));
        w.type(Uvoznik, u("Korisnik č"));

        const auto shown = eraseWith(w, {true, true});
        QCOMPARE(shown.size(), 3);
        QVERIFY(isQuestion(shown[0], firstQuestion));
        QVERIFY(isQuestion(shown[1], secondQuestion));
        QCOMPARE(shown[2].kind, Dialogs::Kind::Message);
        QCOMPARE(shown[2].text, u("Baze prezne!"));
        QCOMPARE(shown[2].title, u("Kalvendor"));
        QCOMPARE(w.focus(), w.edit(Tar_br));

        QVERIFY(w.table().isActive());
        QCOMPARE(w.table().rowCount(), 0u);
        QCOMPARE(w.count(), u("0"));
        QCOMPARE(w.edit(Uvoznik)->text(), QString());
        const QByteArray database = w.readDatabase();
        QVERIFY(database.contains("<FIELD"));
        QCOMPARE(storedRows(database), 0);

        // Neither the earlier carried-over values nor the discarded typing come back.
        w.click("BitBtnAdd");
        QCOMPARE(w.table().state(), TableState::Insert);
        QCOMPARE(w.value(Dobavljac), QString());
        QCOMPARE(w.value(Uvoznik), QString());
        QCOMPARE(w.value(Naziv), QString());
        w.type(Naziv, u("x"));
        w.form->close();
        const QByteArray closed = w.readDatabase();
        QCOMPARE(storedRows(closed), 1);
        QVERIFY(!closed.contains("Stari") && !closed.contains("Novi") && !closed.contains("EUR"));
    }

    void erasingAnEmptyDatabase()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({}));
        const QDateTime longAgo(QDate(2001, 1, 1), QTime(0, 0));
        {
            QFile f(w.databasePath());
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(longAgo, QFileDevice::FileModificationTime));
        }
        QVERIFY(w.start());
        const auto shown = eraseWith(w, {true, true});
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[2].text, u("Baze prezne!"));
        QVERIFY(QFileInfo(w.databasePath()).lastModified() > longAgo);
        QVERIFY(w.readDatabase().contains("<FIELD"));
        QCOMPARE(w.focus(), w.edit(Tar_br));
    }

    void failedEraseKeepsTheRecords()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u("Naziv=\"a\""), u("Naziv=\"b\"")}));
        QVERIFY(w.start());
        w.type(Dobavljac, u("S2"));
        w.click("BitBtnAdd");
        const QByteArray database = w.readDatabase();

        for (WriteStep step : allSteps) {
            setWriteFailureForTesting(step);
            const auto shown = eraseWith(w, {true, true});
            setWriteFailureForTesting(std::nullopt);
            QCOMPARE(shown.size(), 3); // both questions, then the error; no "Baze prezne!"
            QVERIFY2(isWriteError(shown[2], w.folder() + u("/Baza.xml")),
                     qPrintable(shown[2].text));
            QCOMPARE(w.focus(), w.button("BitBtnErase"));
            QCOMPARE(w.readDatabase(), database);
            QCOMPARE(entries(w.folder()), QStringList{u("Baza.xml")});
            QVERIFY(w.table().isActive());
            QCOMPARE(w.table().recordCount(), 2u);
            QCOMPARE(w.valueAt(2, Naziv), u("b"));
            QCOMPARE(w.valueAt(2, Dobavljac), u("S2"));
        }
        // Nothing was erased, the carried-over values included.
        w.type(Naziv, u("c"));
        w.click("BitBtnAdd");
        QCOMPARE(w.value(Dobavljac), u("S2"));
        QCOMPARE(w.table().recordCount(), 3u);
    }
};

QTEST_MAIN(TestExportAndErase)
#include "TestExportAndErase.moc"

#include "WindowFixture.h"

#include "gui/dialogs/AppSettings.h"
#include "gui/print/ListPrint.h"
#include "gui/widgets/WarningLook.h"
#include "model/Totals.h"
#include "platform/AtomicFile.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QImage>
#include <QMenu>
#include <QProcess>
#include <QProgressDialog>
#include <QTimer>
#include <QToolButton>

using namespace data;
using namespace Qt::StringLiterals;
using gui::Dialogs;
using gui::PrintChoices;
using gui::PrintChoicesDialog;

namespace {

// `n` records of a thousand euros each, "Proizvod 001" on; every tenth name is long enough to
// wrap in its column.
QStringList products(int n)
{
    QStringList rows;
    for (int i = 1; i <= n; ++i) {
        rows << u"Naziv=\"Proizvod %1%2\" Valuta=\"EUR\" Kolicina=\"1\" Cijena=\"1000\" "
                u"Tar_br=\"3005909000\" Proizvodjac=\"Proizvođač d.o.o.\""_s
                    .arg(i, 3, 10, QChar(u'0'))
                    .arg(i % 10 ? QString()
                                : u" s vrlo dugim opisom koji se ne može smjestiti u jedan redak "
                                  u"stupca naziva"_s);
    }
    return rows;
}

// The text of a PDF, a page per entry, as poppler reads it.
QStringList pdfPages(const QString &file)
{
    QProcess reader;
    reader.start(u"pdftotext"_s, {u"-layout"_s, u"-enc"_s, u"UTF-8"_s, file, u"-"_s});
    if (!reader.waitForFinished(60000) || reader.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(reader.readAllStandardOutput()).split(u'\f');
    if (pages.size() > 1 && pages.constLast().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QString pdfText(const QString &file)
{
    return pdfPages(file).join(QString());
}

// Pixels of a PDF's first page, as poppler paints it, in the colour of a warning's tint.
int tintedPixels(const QString &file)
{
    QTemporaryDir dir;
    const QString png = dir.filePath(u"strana"_s);
    if (QProcess::execute(u"pdftoppm"_s, {u"-r"_s, u"40"_s, u"-l"_s, u"1"_s, u"-png"_s,
                                          u"-singlefile"_s, file, png}) != 0)
        return -1;
    const QImage page = QImage(png + u".png"_s).convertToFormat(QImage::Format_RGB32);
    return static_cast<int>(
        std::count(reinterpret_cast<const QRgb *>(page.constBits()),
                   reinterpret_cast<const QRgb *>(page.constBits()) + page.width() * page.height(),
                   gui::warningTint().rgb()));
}

// Empty when the texts of `wanted`, between bars ("Naziv|Gaza|1,50"), are all in `text` in this
// order; otherwise the first that is not, and the text.
QString missing(const QString &text, const QString &wanted)
{
    qsizetype at = 0;
    for (const QString &w : wanted.split(u'|')) {
        at = text.indexOf(w, at);
        if (at < 0)
            return u"„%1” not in its place in:\n%2"_s.arg(w, text);
        at += w.size();
    }
    return {};
}

// The print dialog as a clerk meets it: what it offered is kept in `offered`; the line is typed
// over, the box clicked when it is not as wanted, then the dialog accepted with its button.
std::function<void(PrintChoicesDialog &)> choose(std::optional<QString> line = {},
                                                 std::optional<bool> warnings = {},
                                                 PrintChoices *offered = nullptr)
{
    return [=](PrintChoicesDialog &dialog) {
        dialog.show();
        if (offered)
            *offered = dialog.choices();
        if (line) {
            dialog.lineBox()->setFocus();
            dialog.lineBox()->selectAll();
            QTest::keyClick(dialog.lineBox(), Qt::Key_Delete);
            WindowFixture::keys(dialog.lineBox(), *line);
        }
        if (warnings && dialog.warningsBox()->isChecked() != *warnings)
            QTest::mouseClick(dialog.warningsBox(), Qt::LeftButton);
        QTest::mouseClick(dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    };
}

// "Spremi kao PDF…" from the tools' menu to `file`, with the print dialog answered by `script`;
// the boxes shown.
QList<Dialogs::Shown> savePdf(const WindowFixture &w, const QString &file,
                              const std::function<void(PrintChoicesDialog &)> &script = choose())
{
    PrintChoicesDialog::setScript(script);
    Dialogs::takeShown();
    Dialogs::addAnswer(file);
    for (QAction *a : w.widget<QToolButton>("toolsButton")->menu()->actions()) {
        if (a->text() == u"Spremi kao PDF…"_s)
            a->trigger();
    }
    return w.shownAfterEvents();
}

// Ctrl+P into the box that has the focus, with the print dialog answered by `script` and the
// preview printing to `file`; the boxes shown.
QList<Dialogs::Shown> printPdf(const WindowFixture &w, const QString &file,
                               const std::function<void(PrintChoicesDialog &)> &script = choose())
{
    PrintChoicesDialog::setScript(script);
    Dialogs::takeShown();
    Dialogs::addAnswer(file);
    // The window active again, as the window system makes it when a dialog over it has gone (the
    // offscreen platform does not).
    w.form->activateWindow();
    if (!QTest::qWaitForWindowActive(w.form.get()))
        return {};
    QTest::keyClick(w.focus(), Qt::Key_P, Qt::ControlModifier);
    return w.shownAfterEvents();
}

// Counts the progress windows shown, and clicks "Odustani" in each as soon as it shows when
// `cancel`.
class ProgressWatch : public QObject {
public:
    int shown = 0;
    bool cancel = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<QProgressDialog *>(watched);
        if (dialog && event->type() == QEvent::Show && ++shown && cancel) {
            QTimer::singleShot(0, dialog, [dialog] {
                QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
            });
        }
        return false;
    }
};

bool progressShowing()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget *w) {
        return qobject_cast<QProgressDialog *>(w) && w->isVisible();
    });
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
#ifndef _WIN32
        QVERIFY2(!QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty(),
                 "pdftotext is missing: install poppler-utils");
#endif
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setApplicationName(u"Kalvendor"_s);
    }
    void init()
    {
#ifdef _WIN32
        // Windows has no pdftotext: there the PDF's text is read by the Linux run of this test.
        const QByteArray name = QTest::currentTestFunction();
        if (name != "totals" && name != "progressAndCancel" &&
            QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
            QSKIP("pdftotext is not on this system");
#endif
        gui::appSettings()->remove(u"ispis"_s);
    }
    void cleanup()
    {
        setWriteFailureForTesting(std::nullopt);
        PrintChoicesDialog::setScript({});
        gui::setProgressDelayForTesting(std::nullopt);
        Dialogs::setWhileShown({});
    }

    void totals_data()
    {
        QTest::addColumn<QString>("records");  // "currency|quantity|price;…", in stored form
        QTest::addColumn<QString>("expected"); // the amounts as printed, then the totals
        QTest::newRow("one currency, zero an amount")
            << u"EUR|2|3.5;EUR|0|5"_s << u"7,00 0,00 → EUR=7,00 | 0 | 2"_s;
        QTest::newRow("by currency in capitals, none last")
            << u"|1|1;usd|1|2;AUD|1|3; |1|4; Usd |1|8"_s
            << u"1,00 2,00 3,00 4,00 8,00 → AUD=3,00 USD=10,00 =5,00 | 0 | 5"_s;
        QTest::newRow("without quantity or price")
            << u"EUR||5;EUR|3|;EUR|2|2;USD||"_s << u"- - 4,00 - → EUR=4,00 | 3 | 4"_s;
        // As doubles 1 × 2.675 is 2.67499…, and 3 × 0.335 is 1.00499….
        QTest::newRow("half a cent away from zero")
            << u"EUR|1|2.675;USD|3|0.335;CHF|1|-2.675"_s
            << u"2,68 1,01 -2,68 → CHF=-2,68 EUR=2,68 USD=1,01 | 0 | 3"_s;
        // The office adds up the printed amounts: 0,015 and 0,02 unrounded.
        QTest::newRow("the total is the sum of the printed amounts")
            << u"EUR|1|0.005;EUR|1|0.005;EUR|1|0.005;USD|1|0.004;USD|1|0.004;USD|1|0.004;"
               u"USD|1|0.004;USD|1|0.004"_s
            << u"0,01 0,01 0,01 0,00 0,00 0,00 0,00 0,00 → EUR=0,03 USD=0,00 | 0 | 8"_s;
        QTest::newRow("cancel out, no minus zero")
            << u"EUR|1|-5;EUR|2|2.5;USD|1|-0.001"_s
            << u"-5,00 5,00 0,00 → EUR=0,00 USD=0,00 | 0 | 3"_s;
        QTest::newRow("thousands grouped by dots, large")
            << u"EUR|1000|190422.25088;USD|1|999.99;USD|1|1000;HRK|-1|1234.5;CHF|1|100000;"
               u"JPY|1000000000|123456789.12"_s
            << u"190.422.250,88 999,99 1.000,00 -1.234,50 100.000,00 123.456.789.120.000.000,00 → "
               u"CHF=100.000,00 EUR=190.422.250,88 HRK=-1.234,50 "
               u"JPY=123.456.789.120.000.000,00 USD=1.999,99 | 0 | 6"_s;
        QTest::newRow("none") << QString() << u" → | 0 | 0"_s;
    }

    void totals()
    {
        QFETCH(QString, records);
        QFETCH(QString, expected);
        TotalsBuilder builder;
        QStringList amounts;
        for (const QString &record : records.split(u';', Qt::SkipEmptyParts)) {
            const QStringList v = record.split(u'|');
            const std::string amount =
                builder.add(v[0].toStdString(), v[1].toStdString(), v[2].toStdString());
            amounts << (amount.empty() ? u"-"_s : QString::fromStdString(amount));
        }
        QString text = amounts.join(u' ') + u" →"_s;
        const Totals totals = builder.result();
        for (const CurrencyTotal &t : totals.currencies)
            text += QString::fromStdString(' ' + t.currency + '=' + t.amount);
        QCOMPARE(text + u" | %1 | %2"_s.arg(totals.withoutAmount).arg(totals.records), expected);
    }

    void longListOnSeveralPages()
    {
        WindowFixture w;
        QVERIFY(w.startWith(products(150)));
        const QString file = QDir(w.folder()).filePath(u"popis.pdf"_s);
        savePdf(w, file);
        const QStringList pages = pdfPages(file);
        QVERIFY2(pages.size() > 2, qPrintable(QString::number(pages.size())));
        QStringList names;
        for (int i = 1; i <= 150; ++i)
            names << u"Proizvod %1"_s.arg(i, 3, 10, QChar(u'0'));
        const QString all = pages.join(QString());
        QCOMPARE(missing(all, names.join(u'|') + u"|Ukupno EUR|150.000,00"_s), QString());
        QCOMPARE(all.count(u"naziva"_s), 15); // wrapped, not cut
        for (int p = 0; p < pages.size(); ++p) {
            // The column headings on every page, no caption broken in a word; the title once.
            QCOMPARE(missing(pages[p], u"Tarifni|Jedinica|Iznos|Stranica %1 od %2"_s.arg(p + 1).arg(
                                           pages.size())),
                     QString());
            QCOMPARE(pages[p].contains(u"Popis medicinskih proizvoda"_s), p == 0);
        }
    }

    void printAndSaveFromTheWindow()
    {
        WindowFixture w;
        // Three amounts of half a cent each: summed unrounded they would make 0,02, not 0,03.
        QVERIFY(w.startWith({u"Naziv=\"Gaza\" Valuta=\"EUR\" Kolicina=\"1\" Cijena=\"0.005\""_s,
                             u"Naziv=\"Zavoj\" Valuta=\"EUR\" Kolicina=\"1\" Cijena=\"0.005\""_s,
                             u"Naziv=\"Flaster\" Valuta=\"eur\" Kolicina=\"1\" Cijena=\"0.005\""_s,
                             u"Naziv=\"Kateter\" Valuta=\"USD\" Kolicina=\"3\" "
                             u"Cijena=\"4115226.3\""_s,
                             u"Valuta=\"EUR\" Kolicina=\"100\" Cijena=\"100\""_s})); // no name
        // Ctrl+P commits the record being typed, which the printed list then holds; the preview
        // is the only box.
        w.click("addButton");
        w.type(Name, u"Šprica"_s);
        const QDir folder(w.folder());
        QCOMPARE(WindowFixture::texts(printPdf(w, folder.filePath(u"ispis.pdf"_s))), QString());
        const QString printed = pdfText(folder.filePath(u"ispis.pdf"_s));
        // The record without a name neither counted, nor printed, nor added up.
        QCOMPARE(missing(printed,
                         u"Broj zapisa: 5|Količina|Valuta|Cijena|Iznos|Protokol|Gaza|0,005|0,01|"
                         u"Zavoj|0,01|Flaster|0,01|Kateter|4115226,3|12.345.678,90|Šprica|"
                         u"Ukupno EUR|0,03|Ukupno USD|12.345.678,90|"
                         u"Zapisi bez količine ili cijene (nisu zbrojeni)|1|Broj zapisa|5"_s),
                 QString());

        // The PDF: offered beside the database, named by the day; the same list as printed, but
        // a printer's resolution may move the columns a little.
        const QString offered =
            folder.filePath(u"Popis %1.pdf"_s.arg(QDate::currentDate().toString(Qt::ISODate)));
        const QString target = folder.filePath(u"Popis č.pdf"_s);
        auto shown = savePdf(w, target);
        QCOMPARE(shown.value(0).title, u"PDF (*.pdf)"_s);
        QCOMPARE(WindowFixture::texts(shown), offered + u" | Popis je spremljen u "_s + target);
        QCOMPARE(pdfText(target).simplified(), printed.simplified());

        // A PDF that cannot be written: the reason and the path, and no file, whole or not.
        const QString nowhere = folder.filePath(u"nema/popis.pdf"_s);
        QCOMPARE(WindowFixture::texts(savePdf(w, nowhere)),
                 offered + u" | Datoteku „"_s + nowhere +
                     u"” nije moguće spremiti: nema takve datoteke ili mape"_s);
        setWriteFailureForTesting(WriteStep::Write);
        QCOMPARE(savePdf(w, folder.filePath(u"pola.pdf"_s)).value(1).kind, Dialogs::Kind::Error);
        setWriteFailureForTesting(std::nullopt);

        // A cancelled dialog writes nothing, whichever it is.
        QCOMPARE(savePdf(w, QString()).size(), 1);
        const auto reject = [](PrintChoicesDialog &d) { d.reject(); };
        QCOMPARE(savePdf(w, folder.filePath(u"nije.pdf"_s), reject).size(), 0);
        QCOMPARE(printPdf(w, folder.filePath(u"nije.pdf"_s), reject).size(), 0);
        QCOMPARE(folder.entryList({u"*.pdf"_s, u"nema"_s}).join(u'|'), u"ispis.pdf|Popis č.pdf"_s);
    }

    // The importer and the clerk's line above the list, the warnings only when asked for; the
    // line kept for the folder, the warnings for every folder, and neither in the database.
    void headingWarningsAndChoices()
    {
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"Kapi\" Valuta=\"usd\" Kolicina=\"2\" Cijena=\"1.5\" "
                             u"Tar_br=\"3004900000\" Uvoznik=\"KBC Split\""_s,
                             u"Naziv=\"Gaza\" Kolicina=\"3\" Cijena=\"0.5\" "
                             u"Tar_br=\"3005909000\" Uvoznik=\"KBC Split \""_s,
                             u"Naziv=\"Zavoj\" Valuta=\"EUR\" Kolicina=\"1\" Cijena=\"2\" "
                             u"Tar_br=\"3005909000\" Uvoznik=\"KBC Split\""_s}));
        const QByteArray database = w.readDatabase();
        const QString folder = QFileInfo(w.databasePath()).absolutePath();
        const QString line = u"Zahtjev br. 381-22/26-01, KLASA: UP/I-530-08/26"_s;
        // The office's list, as first offered: no line, no marks, no reasons.
        const QString file = QDir(folder).filePath(u"popis.pdf"_s);
        PrintChoices offered;
        savePdf(w, file, choose({}, {}, &offered));
        QVERIFY(offered.line.isEmpty() && !offered.warnings);
        QString text = pdfText(file);
        QCOMPARE(missing(text, u"Uvoznik: KBC Split|Datum: |Kapi|Gaza|Zavoj|Broj zapisa"_s),
                 QString());
        QVERIFY2(!text.contains(u"Upozorenja"_s) && !text.contains(u"nije upisana"_s),
                 qPrintable(text));
        QCOMPARE(tintedPixels(file), 0);

        // The clerk's own copy.
        savePdf(w, file, choose(line, true));
        text = pdfText(file);
        QCOMPARE(missing(text, u"Popis medicinskih proizvoda|"_s + line +
                                   u"|Uvoznik: KBC Split|Datum: |Broj zapisa|"
                                   u"Upozorenja: 2 zapisa|1. Kapi: |Oznaka valute piše se "
                                   u"velikim slovima|2. Gaza: |Valuta nije upisana"_s),
                 QString());
        QVERIFY(!text.contains(u"3. Zavoj"_s));
        QVERIFY(tintedPixels(file) > 20);
        QCOMPARE(w.readDatabase(), database);
        const PrintChoices elsewhere = gui::keptPrintChoices(QDir::rootPath());
        QVERIFY(elsewhere.line.isEmpty() && elsewhere.warnings);

        // Offered again, by "Ispis…" too; importers that differ are not above the list.
        w.click("addButton");
        w.type(Name, u"Kateter"_s);
        w.type(Importer, u"KBC Osijek"_s);
        printPdf(w, file, choose({}, {}, &offered));
        QVERIFY(offered.line == line && offered.warnings);
        text = pdfText(file);
        QCOMPARE(missing(text, line + u"|Datum: "_s), QString());
        QVERIFY(!text.contains(u"Uvoznik"_s));
        savePdf(w, file, choose(QString())); // an emptied line is forgotten
        QCOMPARE(gui::keptPrintChoices(folder).line, QString());
    }

    // The progress window goes before any message: left to itself it showed over "Popis je
    // spremljen…", or over a printer's failure, and only "Odustani" closed it. "Odustani" leaves
    // no file, and says so.
    void progressAndCancel()
    {
        WindowFixture w;
        QVERIFY(w.startWith(products(150)));
        gui::setProgressDelayForTesting(0);
        ProgressWatch watch;
        qApp->installEventFilter(&watch);
        QStringList under; // the boxes shown under a progress window
        Dialogs::setWhileShown([&](const Dialogs::Shown &shown) {
            if (progressShowing())
                under << shown.text;
        });
        const QDir folder(w.folder());
        const QString file = folder.filePath(u"popis.pdf"_s);
        QCOMPARE(savePdf(w, file).value(1).text, u"Popis je spremljen u "_s + file);
        QVERIFY(printPdf(w, folder.filePath(u"nema/ispis.pdf"_s))
                    .value(1)
                    .text.startsWith(u"Popis nije moguće ispisati u datoteku"_s));
        QCOMPARE(watch.shown, 2);

        const QStringList before = folder.entryList(QDir::AllEntries | QDir::Hidden);
        watch.cancel = true;
        const QString stopped = folder.filePath(u"prekinut.pdf"_s);
        QCOMPARE(savePdf(w, stopped).value(1).text,
                 u"Spremanje je prekinuto: popis nije spremljen u "_s + stopped + u"."_s);
        // Stopped before a page reaches the printer, which then gets nothing at all.
        QCOMPARE(WindowFixture::texts(printPdf(w, folder.filePath(u"ispis.pdf"_s))),
                 u" | Ispis je prekinut: pisaču nije poslano ništa."_s);
        qApp->removeEventFilter(&watch);
        QCOMPARE(watch.shown, 4);
        QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden), before);
        QCOMPARE(under, QStringList());
    }
};

QTEST_MAIN(TestPrint)
#include "TestPrint.moc"

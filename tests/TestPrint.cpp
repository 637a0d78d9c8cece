#include "WindowFixture.h"

#include "data/AtomicFile.h"
#include "data/Totals.h"
#include "gui/dialogs/AppSettings.h"
#include "gui/print/ListPrint.h"
#include "gui/widgets/WarningLook.h"

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
using gui::ListDocument;
using gui::PrintChoices;
using gui::PrintChoicesDialog;

namespace {

// A record from "name|currency|quantity|price|tariff|manufacturer" (numbers in stored form).
Record product(const QString &line)
{
    const QStringList parts = line.split(u'|');
    const ProductField fields[] = {Name, Currency, Quantity, Price, TariffNumber, Manufacturer};
    Record r(ProductFieldCount);
    for (qsizetype i = 0; i < parts.size(); ++i)
        r.setValue(fields[i], parts[i].toStdString());
    return r;
}

void fill(Table &table, const QStringList &lines)
{
    std::vector<Record> records;
    for (const QString &line : lines)
        records.push_back(product(line));
    table.replaceContent(std::move(records));
}

// "EUR=12,50 =1,00 | 2 | 5": the sums, the records without an amount, the records.
QString totalsText(const Totals &totals)
{
    QStringList sums;
    for (const CurrencyTotal &t : totals.currencies)
        sums << QString::fromStdString(t.currency + '=' + t.amount);
    return u"%1 | %2 | %3"_s.arg(sums.join(u' ')).arg(totals.withoutAmount).arg(totals.records);
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

// Whether every text of `wanted` is in `text`, in this order.
bool inOrder(const QString &text, const QStringList &wanted)
{
    qsizetype at = 0;
    for (const QString &w : wanted) {
        at = text.indexOf(w, at);
        if (at < 0)
            return false;
        at += w.size();
    }
    return true;
}

// The same with the texts in one, between bars: "Naziv|Gaza|1,50".
bool inOrder(const QString &text, const QString &wanted)
{
    return inOrder(text, wanted.split(u'|'));
}

bool keepGoing(int, int)
{
    return true;
}

QAction *tool(const WindowFixture &w, const QString &text)
{
    for (QAction *a : w.widget<QToolButton>("ToolsButton")->menu()->actions()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

// The print dialog as a clerk meets it: what it offered is kept in `offered`; the line is typed
// over, the box clicked when it is not as wanted, then the dialog accepted with its button.
std::function<void(PrintChoicesDialog &)>
choose(std::optional<QString> line, std::optional<bool> warnings, PrintChoices *offered = nullptr)
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

// The window active again, as the window system makes it when a dialog over it has gone (the
// offscreen platform does not), then Ctrl+P into the box that has the focus.
void printKeys(const WindowFixture &w)
{
    w.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    QTest::keyClick(w.focus(), Qt::Key_P, Qt::ControlModifier);
}

// "Spremi kao PDF…" to `file`, with the print dialog answered by `script`; the boxes shown.
QList<Dialogs::Shown> savePdf(const WindowFixture &w, const QString &file,
                              const std::function<void(PrintChoicesDialog &)> &script)
{
    PrintChoicesDialog::setScript(script);
    Dialogs::takeShown();
    Dialogs::addAnswer(file);
    tool(w, u"Spremi kao PDF…"_s)->trigger();
    return w.shownAfterEvents();
}

// Clicks "Odustani" in every progress window as soon as it shows.
class Canceller : public QObject {
public:
    int shown = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<QProgressDialog *>(watched);
        if (dialog && event->type() == QEvent::Show && ++shown) {
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
        const bool textRead = name != "totals" && name != "failedPdfLeavesNoFile" &&
                              name != "cancelLeavesNoFile" &&
                              name != "progressGoneBeforeTheMessage";
        if (textRead && QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
            QSKIP("pdftotext is not on this system");
#endif
        gui::appSettings()->remove(u"ispis"_s);
        PrintChoicesDialog::setScript(choose(std::nullopt, std::nullopt));
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
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("amounts");
        QTest::newRow("one currency")
            << QStringList{u"a|EUR|2|3.5"_s} << u"EUR=7,00 | 0 | 1"_s << u"7,00"_s;
        QTest::newRow("written in any case and with spaces")
            << QStringList{u"a|eur|1|1"_s, u"b| Eur |1|2"_s} << u"EUR=3,00 | 0 | 2"_s
            << u"1,00 2,00"_s;
        QTest::newRow("by currency, none last")
            << QStringList{u"a||1|1"_s, u"b|USD|1|2"_s, u"c|AUD|1|3"_s, u"d| |1|4"_s}
            << u"AUD=3,00 USD=2,00 =5,00 | 0 | 4"_s << u"1,00 2,00 3,00 4,00"_s;
        QTest::newRow("without quantity or price")
            << QStringList{u"a|EUR||5"_s, u"b|EUR|3|"_s, u"c|EUR|2|2"_s, u"d|USD||"_s}
            << u"EUR=4,00 | 3 | 4"_s << u"- - 4,00 -"_s;
        QTest::newRow("zero is an amount")
            << QStringList{u"a|EUR|0|5"_s} << u"EUR=0,00 | 0 | 1"_s << u"0,00"_s;
        // As doubles 1 × 2.675 is 2.67499…, and 3 × 0.335 is 1.00499….
        QTest::newRow("half a cent rounds up")
            << QStringList{u"a|EUR|1|2.675"_s, u"b|USD|3|0.335"_s} << u"EUR=2,68 USD=1,01 | 0 | 2"_s
            << u"2,68 1,01"_s;
        QTest::newRow("half a cent, negative")
            << QStringList{u"a|EUR|1|-2.675"_s} << u"EUR=-2,68 | 0 | 1"_s << u"-2,68"_s;
        // The office adds up the printed amounts: 0,015 and 0,02 unrounded.
        QTest::newRow("the total is the sum of the printed amounts")
            << QStringList{u"a|EUR|1|0.005"_s, u"b|EUR|1|0.005"_s, u"c|EUR|1|0.005"_s,
                           u"d|USD|1|0.004"_s, u"e|USD|1|0.004"_s, u"f|USD|1|0.004"_s,
                           u"g|USD|1|0.004"_s, u"h|USD|1|0.004"_s}
            << u"EUR=0,03 USD=0,00 | 0 | 8"_s << u"0,01 0,01 0,01 0,00 0,00 0,00 0,00 0,00"_s;
        QTest::newRow("tenths add up exactly")
            << QStringList{u"a|EUR|0.1|0.7"_s, u"b|EUR|0.1|0.7"_s, u"c|EUR|0.1|0.7"_s}
            << u"EUR=0,21 | 0 | 3"_s << u"0,07 0,07 0,07"_s;
        QTest::newRow("cancel out, no minus zero")
            << QStringList{u"a|EUR|1|-5"_s, u"b|EUR|2|2.5"_s, u"c|USD|1|-0.001"_s}
            << u"EUR=0,00 USD=0,00 | 0 | 3"_s << u"-5,00 5,00 0,00"_s;
        QTest::newRow("thousands grouped by dots")
            << QStringList{u"a|EUR|1000|190422.25088"_s, u"b|USD|1|999.99"_s, u"c|USD|1|1000"_s,
                           u"d|HRK|-1|1234.5"_s, u"e|CHF|1|100000"_s}
            << u"CHF=100.000,00 EUR=190.422.250,88 HRK=-1.234,50 USD=1.999,99 | 0 | 5"_s
            << u"190.422.250,88 999,99 1.000,00 -1.234,50 100.000,00"_s;
        QTest::newRow("large") << QStringList{u"a|EUR|1000000000|123456789.12"_s}
                               << u"EUR=123.456.789.120.000.000,00 | 0 | 1"_s
                               << u"123.456.789.120.000.000,00"_s;
        QTest::newRow("unnamed records are not on the list")
            << QStringList{u"|EUR|1|1"_s, u"a|EUR|1|2"_s, u"|USD|1|1"_s} << u"EUR=2,00 | 0 | 1"_s
            << u"2,00"_s;
        QTest::newRow("empty list") << QStringList{} << u" | 0 | 0"_s << QString();
    }

    void totals()
    {
        QFETCH(QStringList, records);
        QFETCH(QString, expected);
        QFETCH(QString, amounts);
        Table table(productSchema());
        fill(table, records);
        QCOMPARE(totalsText(listTotals(table)), expected);
        // Each amount as it is printed; the builder's totals are the list's.
        TotalsBuilder builder;
        QStringList printed;
        for (std::size_t r = 0; r < table.rowCount(); ++r) {
            if (table.storedValue(r, Name).empty())
                continue;
            const std::string amount =
                builder.add(table.storedValue(r, Currency), table.storedValue(r, Quantity),
                            table.storedValue(r, Price));
            printed << (amount.empty() ? u"-"_s : QString::fromStdString(amount));
        }
        QCOMPARE(printed.join(u' '), amounts);
        QCOMPARE(totalsText(builder.result()), expected);
    }

    void longListOnSeveralPages()
    {
        QTemporaryDir dir;
        Table table(productSchema());
        QStringList lines;
        for (int i = 1; i <= 150; ++i) {
            // Every tenth name is long enough to wrap in its column.
            const QString name = u"Proizvod %1"_s.arg(i, 3, 10, QChar(u'0')) +
                                 (i % 10 == 0 ? u" s vrlo dugim opisom koji se ne može smjestiti "
                                                u"u jedan redak stupca naziva"_s
                                              : QString());
            lines << name + u"|EUR|1|1000|3005909000|Proizvođač d.o.o."_s;
        }
        fill(table, lines);
        ListDocument document(table, nullptr, QDate(2026, 1, 2));
        const QString file = dir.filePath(u"popis.pdf"_s);
        QVERIFY(gui::writeListPdf(document, file, keepGoing));
        const QStringList pages = pdfPages(file);
        QVERIFY2(pages.size() > 2, qPrintable(QString::number(pages.size())));
        QCOMPARE(pages.size(), document.pageCount());
        QStringList names;
        for (int i = 1; i <= 150; ++i)
            names << u"Proizvod %1"_s.arg(i, 3, 10, QChar(u'0'));
        QVERIFY(inOrder(pages.join(QString()), names));
        QCOMPARE(pages.join(QString()).count(u"naziva"_s), 15); // wrapped, not cut
        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY2(pages[p].contains(u"Stranica %1 od %2"_s.arg(p + 1).arg(pages.size())),
                     qPrintable(pages[p]));
            QCOMPARE(pages[p].count(u"Tarifni"_s), 1);  // the headings on every page
            QCOMPARE(pages[p].count(u"Jedinica"_s), 1); // no caption broken in a word
            QCOMPARE(pages[p].count(u"Iznos"_s), 1);
            QCOMPARE(pages[p].count(u"Popis medicinskih proizvoda"_s), p == 0 ? 1 : 0);
        }
        QVERIFY(pages.constLast().contains(u"Ukupno EUR"_s));
        QVERIFY(pages.constLast().contains(u"150.000,00"_s));
    }

    void failedPdfLeavesNoFile()
    {
        QTemporaryDir dir;
        Table table(productSchema());
        fill(table, {u"a|EUR|1|1"_s});
        ListDocument document(table, nullptr, QDate(2026, 12, 7));
        const QString missing = dir.filePath(u"nema/popis.pdf"_s);
        try {
            gui::writeListPdf(document, missing, keepGoing);
            QFAIL("no failure");
        } catch (const WriteError &e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     u"Datoteku „"_s + missing +
                         u"” nije moguće spremiti: nema takve datoteke ili mape"_s);
        }
        const QString file = dir.filePath(u"popis.pdf"_s);
        setWriteFailureForTesting(WriteStep::Write);
        QVERIFY_THROWS_EXCEPTION(WriteError, gui::writeListPdf(document, file, keepGoing));
        setWriteFailureForTesting(std::nullopt);
        // Stopped from the progress window: nothing is written either.
        QVERIFY(!gui::writeListPdf(document, file, [](int, int) { return false; }));
        QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void printAndSaveFromTheWindow()
    {
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"Stari\" Valuta=\"EUR\" Kolicina=\"2\" Cijena=\"5\""_s}));
        QAction *save = tool(w, u"Spremi kao PDF…"_s);
        QAction *print = tool(w, u"Ispis…"_s);
        QVERIFY(save && print);
        QCOMPARE(print->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));

        // Ctrl+P commits the record being typed, which the printed list then holds.
        w.click("BitBtnAdd");
        w.type(Name, u"Novi čaj"_s);
        const QString printed = QDir(w.folder()).filePath(u"ispis.pdf"_s);
        Dialogs::takeShown();
        Dialogs::addAnswer(printed);
        printKeys(w);
        auto shown = w.shownAfterEvents();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Dialogs::Kind::PrintPreview);
        QCOMPARE(w.table().state(), TableState::Browse);
        QCOMPARE(w.table().recordCount(), 2u);
        const QStringList pages = pdfPages(printed);
        QCOMPARE(pages.size(), 1);
        QVERIFY2(
            inOrder(pages[0], u"Broj zapisa: 2|Jedinica|Novi čaj|Stari|10,00|Ukupno EUR|10,00"_s),
            qPrintable(pages[0]));

        // The PDF: offered beside the database, named by the day.
        const QString target = QDir(w.folder()).filePath(u"Popis č.pdf"_s);
        shown = savePdf(w, target, choose(std::nullopt, std::nullopt));
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, Dialogs::Kind::SaveFile);
        QCOMPARE(shown[0].title, u"PDF (*.pdf)"_s);
        QCOMPARE(shown[0].text,
                 QDir(w.folder())
                     .filePath(u"Popis %1.pdf"_s.arg(QDate::currentDate().toString(Qt::ISODate))));
        QCOMPARE(shown[1].text, u"Popis je spremljen u "_s + target);
        QCOMPARE(shown[1].title, u"Poruka"_s);
        // The same list as printed; a printer's resolution may move the columns a little.
        const QStringList saved = pdfPages(target);
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved[0].simplified(), pages[0].simplified());

        // A PDF that cannot be written: the reason and the path, and the table as it was.
        const QByteArray database = w.readDatabase();
        const QString missing = QDir(w.folder()).filePath(u"nema/popis.pdf"_s);
        shown = savePdf(w, missing, choose(std::nullopt, std::nullopt));
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].kind, Dialogs::Kind::Error);
        QCOMPARE(shown[1].text, u"Datoteku „"_s + missing +
                                    u"” nije moguće spremiti: nema takve datoteke ili mape"_s);
        QVERIFY(!QFileInfo::exists(QDir(w.folder()).filePath(u"nema"_s)));
        QCOMPARE(w.table().recordCount(), 2u);
        QCOMPARE(w.readDatabase(), database);

        // A cancelled dialog writes nothing, whichever it is.
        QCOMPARE(savePdf(w, QString(), choose(std::nullopt, std::nullopt)).size(), 1);
        PrintChoicesDialog::setScript([](PrintChoicesDialog &d) { d.reject(); });
        Dialogs::addAnswer(QDir(w.folder()).filePath(u"nije.pdf"_s));
        save->trigger();
        QCOMPARE(w.shownAfterEvents().size(), 0);
        printKeys(w);
        QCOMPARE(w.shownAfterEvents().size(), 0);
        QCOMPARE(QDir(w.folder()).entryList({u"*.pdf"_s}),
                 (QStringList{u"ispis.pdf"_s, u"Popis č.pdf"_s}));
    }

    // The progress window goes before any message: left to itself it showed over "Popis je
    // spremljen…", or over a printer's failure, and only "Odustani" closed it.
    void progressGoneBeforeTheMessage()
    {
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"Gaza\" Valuta=\"EUR\" Kolicina=\"2\" Cijena=\"5\""_s}));
        QStringList seen;
        Dialogs::setWhileShown([&](const Dialogs::Shown &shown) {
            QTest::qWait(450); // longer than the window waits before it shows
            seen << (progressShowing() ? u"nad porukom"_s : u"bez"_s) + u": "_s + shown.text;
        });
        const QString file = QDir(w.folder()).filePath(u"popis.pdf"_s);
        const auto shown = savePdf(w, file, choose(std::nullopt, std::nullopt));
        QCOMPARE(seen.size(), 2); // the file dialog, then the message
        QCOMPARE(seen[1], u"bez: Popis je spremljen u "_s + file);
        QVERIFY(QFileInfo::exists(file));

        const QString nowhere = QDir(w.folder()).filePath(u"nema/ispis.pdf"_s);
        seen.clear();
        Dialogs::addAnswer(nowhere);
        printKeys(w);
        w.shownAfterEvents();
        QCOMPARE(seen.size(), 2); // the preview, then the failure
        QVERIFY2(seen[1].startsWith(u"bez: Popis nije moguće ispisati u datoteku"_s),
                 qPrintable(seen[1]));
        QVERIFY(!progressShowing());
    }

    void cancelLeavesNoFile()
    {
        WindowFixture w;
        QStringList rows;
        for (int i = 0; i < 300; ++i)
            rows << u"Naziv=\"Zavoj %1\" Valuta=\"EUR\" Kolicina=\"2\" Cijena=\"5\""_s.arg(i);
        QVERIFY(w.startWith(rows));
        gui::setProgressDelayForTesting(0);
        Canceller canceller;
        qApp->installEventFilter(&canceller);
        const QDir folder(w.folder());
        const QStringList before = folder.entryList(QDir::AllEntries | QDir::Hidden);

        const QString file = folder.filePath(u"popis.pdf"_s);
        auto shown = savePdf(w, file, choose(std::nullopt, std::nullopt));
        QCOMPARE(canceller.shown, 1);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].text,
                 u"Spremanje je prekinuto: popis nije spremljen u "_s + file + u"."_s);
        QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden), before);

        // Stopped before a page reaches the printer, which then gets nothing at all.
        Dialogs::takeShown();
        Dialogs::addAnswer(folder.filePath(u"ispis.pdf"_s));
        printKeys(w);
        shown = w.shownAfterEvents();
        qApp->removeEventFilter(&canceller);
        QCOMPARE(canceller.shown, 2);
        QCOMPARE(WindowFixture::texts(shown),
                 u" | Ispis je prekinut: pisaču nije poslano ništa."_s);
        QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden), before);
    }

    void amountsAndTotalsOnTheList()
    {
        WindowFixture w;
        // Three amounts of half a cent each: summed unrounded they would make 0,02, not 0,03.
        QVERIFY(w.startWith({u"Naziv=\"Gaza\" Valuta=\"EUR\" Kolicina=\"1\" Cijena=\"0.005\""_s,
                             u"Naziv=\"Zavoj\" Valuta=\"EUR\" Kolicina=\"1\" Cijena=\"0.005\""_s,
                             u"Naziv=\"Flaster\" Valuta=\"eur\" Kolicina=\"1\" Cijena=\"0.005\""_s,
                             u"Naziv=\"Kateter\" Valuta=\"USD\" Kolicina=\"3\" "
                             u"Cijena=\"4115226.3\""_s,
                             u"Naziv=\"Šprica\" Valuta=\"USD\" Kolicina=\"3\""_s,
                             u"Valuta=\"EUR\" Kolicina=\"100\" Cijena=\"100\""_s})); // no name
        const QString file = QDir(w.folder()).filePath(u"popis.pdf"_s);
        savePdf(w, file, choose(std::nullopt, std::nullopt));
        const QStringList pages = pdfPages(file);
        QCOMPARE(pages.size(), 1);
        const QString text = pages[0];
        QVERIFY2(inOrder(text,
                         u"Količina|Valuta|Cijena|Iznos|Protokol|Gaza|0,005|0,01|Zavoj|0,01|"
                         u"Flaster|0,01|Kateter|4115226,3|12.345.678,90|Šprica|Ukupno EUR|0,03|"
                         u"Ukupno USD|12.345.678,90|"
                         u"Zapisi bez količine ili cijene (nisu zbrojeni)|1|Broj zapisa|5"_s),
                 qPrintable(text));
        QVERIFY(!text.contains(u"0,02"_s));
        QVERIFY(
            !text.contains(u"10.000,00"_s)); // a record without a name is neither printed nor added
    }

    void warningsOnlyWhenAsked()
    {
        WindowFixture w;
        QVERIFY(
            w.startWith({u"Naziv=\"Kapi\" Valuta=\"usd\" Kolicina=\"2\" Cijena=\"1.5\" "
                         u"Tar_br=\"3004900000\""_s,
                         u"Naziv=\"Gaza\" Kolicina=\"3\" Cijena=\"0.5\" Tar_br=\"3005909000\""_s,
                         u"Naziv=\"Zavoj\" Valuta=\"EUR\" Kolicina=\"1\" Cijena=\"2\" "
                         u"Tar_br=\"3005909000\""_s}));
        // The office's list: no marks, no reasons.
        const QString plain = QDir(w.folder()).filePath(u"ured.pdf"_s);
        savePdf(w, plain, choose(std::nullopt, std::nullopt));
        QString text = pdfPages(plain).join(QString());
        QVERIFY2(inOrder(text, u"Kapi|Gaza|Zavoj|Broj zapisa"_s), qPrintable(text));
        for (const QString &reason :
             {u"Upozorenja"_s, u"velikim slovima"_s, u"Valuta nije upisana"_s})
            QVERIFY2(!text.contains(reason), qPrintable(reason));
        QCOMPARE(tintedPixels(plain), 0);

        // The clerk's own copy, asked for in the dialog.
        const QString checked = QDir(w.folder()).filePath(u"provjera.pdf"_s);
        savePdf(w, checked, choose(std::nullopt, true));
        text = pdfPages(checked).join(QString());
        QVERIFY2(inOrder(text,
                         u"Broj zapisa|Upozorenja: 2 zapisa|1. Kapi: |"
                         u"Oznaka valute piše se velikim slovima|2. Gaza: |Valuta nije upisana"_s),
                 qPrintable(text));
        QVERIFY(!text.contains(u"3. Zavoj"_s));
        QVERIFY(tintedPixels(checked) > 20);
    }

    // The importer and the clerk's line above the list; the line kept for the folder, the
    // warnings for every folder, and neither in the database.
    void headingAndChoicesKept()
    {
        QTemporaryDir other;
        const QString line = u"Zahtjev br. 381-22/26-01, KLASA: UP/I-530-08/26"_s;
        {
            WindowFixture w;
            QVERIFY(w.startWith({u"Naziv=\"Gaza\" Uvoznik=\"KBC Split\""_s,
                                 u"Naziv=\"Zavoj\" Uvoznik=\"KBC Split \""_s}));
            const QByteArray database = w.readDatabase();
            const QString file = QDir(w.folder()).filePath(u"popis.pdf"_s);
            PrintChoices offered;
            savePdf(w, file, choose(line, true, &offered));
            QCOMPARE(offered.line, QString());
            QVERIFY(!offered.warnings);
            QString text = pdfPages(file).join(QString());
            QVERIFY2(inOrder(text, {u"Popis medicinskih proizvoda"_s, line, u"Uvoznik: KBC Split"_s,
                                    u"Datum: "_s, u"Tarifni"_s, u"Gaza"_s}),
                     qPrintable(text));
            QCOMPARE(w.readDatabase(), database);

            // Offered again, by "Ispis…" too; importers that differ are not above the list.
            w.click("BitBtnAdd");
            w.type(Name, u"Kateter"_s);
            w.type(Importer, u"KBC Osijek"_s);
            PrintChoicesDialog::setScript(choose(std::nullopt, std::nullopt, &offered));
            Dialogs::addAnswer(file);
            printKeys(w);
            w.shownAfterEvents();
            QCOMPARE(offered.line, line);
            QVERIFY(offered.warnings);
            text = pdfPages(file).join(QString());
            QVERIFY2(inOrder(text, {line, u"Datum: "_s}), qPrintable(text));
            QVERIFY(!text.contains(u"Uvoznik"_s));
        }
        WindowFixture w(other.path());
        QVERIFY(w.startWith({u"Naziv=\"Zavoj\""_s}));
        const QString file = QDir(w.folder()).filePath(u"b.pdf"_s);
        PrintChoices offered;
        savePdf(w, file, choose(u"Drugi"_s, false, &offered));
        QCOMPARE(offered.line, QString());
        QVERIFY(offered.warnings);
        savePdf(w, file, choose(QString(), std::nullopt, &offered)); // an emptied line is forgotten
        QCOMPARE(offered.line, u"Drugi"_s);
        QVERIFY(!offered.warnings);
        QCOMPARE(gui::keptPrintChoices(QDir(other.path()).absolutePath()).line, QString());
    }
};

QTEST_MAIN(TestPrint)
#include "TestPrint.moc"

#include "WindowFixture.h"

#include "data/AtomicFile.h"
#include "data/Checks.h"
#include "data/Totals.h"
#include "gui/print/ListPrint.h"

#include <QMenu>
#include <QProcess>
#include <QToolButton>

using namespace data;
using namespace Qt::StringLiterals;
using gui::Dialogs;
using gui::ListDocument;

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

bool keepGoing(int, int)
{
    return true;
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
    }
    void init()
    {
#ifdef _WIN32
        // Windows has no pdftotext: there the PDF's text is read by the Linux run of this test.
        const QByteArray name = QTest::currentTestFunction();
        if (name != "totals" && name != "failedPdfLeavesNoFile" &&
            QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
            QSKIP("pdftotext is not on this system");
#endif
    }
    void cleanup()
    {
        setWriteFailureForTesting(std::nullopt);
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

    void smallListAsPdf()
    {
        QTemporaryDir dir;
        Table table(productSchema());
        Checks checks(table);
        fill(table, {u"Šprica 5 ml|EUR|12.5|3.2|3005909000|Proizvođač d.o.o."_s,
                     u"|EUR|100|100|9999999999"_s, // unnamed: neither printed nor added up
                     u"Kapi čćđšž ČĆĐŠŽ|usd|2|1.5|3004900000"_s, u"Gaza||3|0.5|3005909000"_s,
                     u"Flaster|EUR|||3005909000"_s});
        table.last();
        table.insert(); // a begun record is no stored record
        table.setText(Name, "Započeti");
        ListDocument document(table, &checks, QDate(2026, 12, 7));
        QCOMPARE(document.recordCount(), 4u);

        const QString file = dir.filePath(u"popis.pdf"_s);
        QVERIFY(gui::writeListPdf(document, file, keepGoing));
        const QStringList pages = pdfPages(file);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(document.pageCount(), 1);
        const QString text = pages[0];
        QVERIFY2(
            inOrder(text, {u"Popis medicinskih proizvoda"_s, u"7. 12. 2026."_s, u"Broj zapisa: 4"_s,
                           u"Tarifni broj"_s, u"Naziv"_s, u"Kataloški broj"_s, u"Proizvođač"_s,
                           u"Korisnik"_s, u"Količina"_s, u"Cijena"_s, u"Protokol"_s,
                           u"Šprica 5 ml"_s, u"12,5"_s, u"EUR"_s, u"3,2"_s, u"Kapi čćđšž ČĆĐŠŽ"_s,
                           u"Gaza"_s, u"Flaster"_s, u"Ukupno"_s}),
            qPrintable(text));
        QVERIFY2(text.contains(u"Proizvođač d.o.o."_s) ||
                     (text.contains(u"Proizvođač"_s) && text.contains(u"d.o.o."_s)),
                 qPrintable(text));
        for (const QString &gone : {u"9999999999"_s, u"Započeti"_s, u"100,00"_s})
            QVERIFY2(!text.contains(gone), qPrintable(gone));
        // The totals: the currencies in capitals, none last, then the records without an amount.
        const QString totals = text.mid(text.indexOf(u"Ukupno"_s));
        QVERIFY2(inOrder(totals,
                         {u"EUR"_s, u"40,00"_s, u"USD"_s, u"3,00"_s, u"bez valute"_s, u"1,50"_s,
                          u"Zapisi bez količine ili cijene"_s, u"1"_s, u"Broj zapisa"_s, u"4"_s}),
                 qPrintable(totals));
        // What the checks noticed, after the totals and by the printed number.
        QVERIFY2(inOrder(totals,
                         {u"Upozorenja: 3 zapisa"_s, u"2. Kapi čćđšž ČĆĐŠŽ: "_s,
                          u"Oznaka valute piše se velikim slovima"_s, u"3. Gaza: "_s,
                          u"Valuta nije upisana"_s, u"4. Flaster: "_s, u"Količina nije upisana"_s}),
                 qPrintable(totals));
        QVERIFY(text.contains(u"Stranica 1 od 1"_s));
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
            lines << name + u"|EUR|1|1"_s;
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
        QVERIFY(pages.join(QString()).contains(u"jedan redak"_s)); // wrapped, not cut
        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY2(pages[p].contains(u"Stranica %1 od %2"_s.arg(p + 1).arg(pages.size())),
                     qPrintable(pages[p]));
            QCOMPARE(pages[p].count(u"Tarifni broj"_s), 1); // the headings on every page
            QCOMPARE(pages[p].count(u"Jedinica"_s), 1);     // no caption broken in a word
            QCOMPARE(pages[p].count(u"Popis medicinskih proizvoda"_s), p == 0 ? 1 : 0);
        }
        QVERIFY(pages.constLast().contains(u"150,00"_s));
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
        // Stopped from the progress dialog: nothing is written either.
        QVERIFY(!gui::writeListPdf(document, file, [](int, int) { return false; }));
        QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void printAndSaveFromTheWindow()
    {
        Dialogs::setScripted(true);
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"Stari\" Valuta=\"EUR\" Kolicina=\"2\" Cijena=\"5\""_s}));
        QMenu *tools = w.widget<QToolButton>("ToolsButton")->menu();
        QAction *save = nullptr;
        QAction *print = nullptr;
        for (QAction *a : tools->actions()) {
            if (a->text() == u"Spremi kao PDF…"_s)
                save = a;
            if (a->text() == u"Ispis…"_s)
                print = a;
        }
        QVERIFY(save && print);
        QCOMPARE(print->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));

        // Ctrl+P commits the record being typed, which the printed list then holds.
        w.click("BitBtnAdd");
        w.type(Name, u"Novi čaj"_s);
        const QString printed = QDir(w.folder()).filePath(u"ispis.pdf"_s);
        Dialogs::takeShown();
        Dialogs::addAnswer(printed);
        QTest::keyClick(w.focus(), Qt::Key_P, Qt::ControlModifier);
        auto shown = w.shownAfterEvents();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Dialogs::Kind::PrintPreview);
        QCOMPARE(w.table().state(), TableState::Browse);
        QCOMPARE(w.table().recordCount(), 2u);
        const QStringList pages = pdfPages(printed);
        QCOMPARE(pages.size(), 1);
        QVERIFY2(inOrder(pages[0], {u"Broj zapisa: 2"_s, u"Jedinica"_s, u"Novi čaj"_s, u"Stari"_s,
                                    u"10,00"_s}),
                 qPrintable(pages[0]));

        // The PDF: offered beside the database, named by the day.
        const QString target = QDir(w.folder()).filePath(u"Popis č.pdf"_s);
        Dialogs::addAnswer(target);
        save->trigger();
        shown = w.shownAfterEvents();
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
        Dialogs::addAnswer(missing);
        save->trigger();
        shown = w.shownAfterEvents();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].kind, Dialogs::Kind::Error);
        QCOMPARE(shown[1].text, u"Datoteku „"_s + missing +
                                    u"” nije moguće spremiti: nema takve datoteke ili mape"_s);
        QVERIFY(!QFileInfo::exists(QDir(w.folder()).filePath(u"nema"_s)));
        QCOMPARE(w.table().recordCount(), 2u);
        QCOMPARE(w.readDatabase(), database);

        // A cancelled dialog writes nothing.
        Dialogs::addAnswer(QString());
        save->trigger();
        QCOMPARE(w.shownAfterEvents().size(), 1);
        QCOMPARE(QDir(w.folder()).entryList({u"*.pdf"_s}),
                 (QStringList{u"ispis.pdf"_s, u"Popis č.pdf"_s}));
    }
};

QTEST_MAIN(TestPrint)
#include "TestPrint.moc"

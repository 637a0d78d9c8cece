#include "WindowFixture.h"

#include <QMenu>

using namespace data;
using namespace Qt::StringLiterals;
using gui::Dialogs;
using gui::ImportDialog;

// A supplier's list pasted into the grid: rows of twelve values in the export's order.
class TestImportWindow : public QObject {
    Q_OBJECT

private:
    static QString row(const QString &name, const QString &quantity = u"2"_s)
    {
        return u"30049000\t"_s + name + u"\tKB-1\t\tMedika\tDob\tKBC\tkom\t"_s + quantity +
               u"\tEUR\t12,5\tP-1\n"_s;
    }

    static QAction *takeBack(WindowFixture &w)
    {
        return w.form->findChild<QMenu *>()->actions().at(1);
    }

private slots:
    void pasteIsOneStepThatCanBeTakenBack()
    {
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"Prvi\""_s, u"Naziv=\"Drugi\""_s}));
        w.pasteIntoGrid(row(u"A"_s) + row(u"B"_s) + row(u"C"_s));
        QCOMPARE(w.count(), u"5"_s);
        QCOMPARE(w.column(Name), u"Prvi|Drugi|A|B|C"_s);
        QCOMPARE(w.valueAt(4, Price), u"12,5"_s);
        QCOMPARE(w.table().currentRow(), 2u);
        QVERIFY(w.button("deleteButton")->isEnabled());
        QCOMPARE(takeBack(w)->text(), u"Poništi uvoz (3 zapisa)"_s);

        takeBack(w)->trigger();
        QCOMPARE(w.column(Name), u"Prvi|Drugi"_s);
        QVERIFY(!takeBack(w)->isEnabled());
        // Nothing was carried over: a new record starts as empty as before the paste.
        w.click("addButton");
        QCOMPARE(w.value(Supplier), QString());
        QCOMPARE(Dialogs::takeShown().size(), 1); // the start-up message, nothing else
    }

    void problemRowsAreLeftOutAndCancelChangesNothing()
    {
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"Prvi\""_s}));
        std::vector<textimport::Problem> problems;
        const QString rows = row(u"A"_s, u"1.234,50"_s) + row(u"B"_s, u"1.234"_s) + row(u"C"_s);
        w.pasteIntoGrid(rows, [&](ImportDialog &d) {
            problems = d.importResult().problems;
            d.accept();
        });
        // Numbers read as a box reads them: the same value, the same refusal.
        QCOMPARE(problems.size(), 1u);
        QCOMPARE(problems[0].line, 2u);
        QCOMPARE(QString::fromStdString(problems[0].reason),
                 u"Količina: „1.234” može biti 1234 ili 1,234: upišite 1234 ili 1,234."_s);
        QCOMPARE(w.column(Name), u"Prvi|A|C"_s);
        QCOMPARE(w.valueAt(1, Quantity), u"1234,5"_s);

        // At a first start, the empty begun record gives way to the list.
        WindowFixture first;
        QVERIFY(first.start());
        first.pasteIntoGrid(row(u"F"_s));
        QCOMPARE(first.table().rowCount(), 1u);
        QCOMPARE(first.valueAt(0, Name), u"F"_s);
        takeBack(first)->trigger();
        QCOMPARE(first.table().recordCount(), 0u);
        QVERIFY(!first.button("deleteButton")->isEnabled());

        const QByteArray saved = w.readDatabase();
        const std::uint64_t changes = w.table().changeCount();
        w.pasteIntoGrid(row(u"D"_s) + row(u"E"_s), [](ImportDialog &) {}); // cancelled
        QCOMPARE(w.table().changeCount(), changes);
        QCOMPARE(w.table().recordCount(), 3u);
        w.pasteIntoGrid(u"one value"_s,
                        [](ImportDialog &) { QFAIL("no dialog for a single value"); });
        QCOMPARE(w.readDatabase(), saved);
    }

    // As a supplier sends it: a title above the headings, a currency in one, a total below.
    void supplierListWithTitleAndTotal()
    {
        WindowFixture w;
        QVERIFY(w.start());
        w.pasteIntoGrid(u"Ponuda br. 245/2025 – Medika d.d.\nDatum: 3. 3. 2025.\n\n"
                        u"Šifra\tNaziv artikla\tJ.M.\tKol.\tCijena (EUR)\tIznos u EUR\n"
                        u"K-1\tGaza\tkom\t2\t1,50\t3,00\nK-2\tZavoj\tkom\t4\t2,25\t9,00\n"
                        u"K-3\tVata\tkg\t1\t0,50\t0,50\n\tUkupno\t\t\t\t12,50\n"_s);
        QCOMPARE(w.column(Name) + u' ' + w.column(CatalogueNumber) + u' ' + w.column(Unit) + u' ' +
                     w.column(Currency),
                 u"Gaza|Zavoj|Vata K-1|K-2|K-3 kom|kom|kg EUR|EUR|EUR"_s);
    }
};

QTEST_MAIN(TestImportWindow)
#include "TestImportWindow.moc"

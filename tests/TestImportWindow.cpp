#include "WindowFixture.h"

#include "gui/dialogs/ImportDialog.h"

#include <QClipboard>
#include <QMenu>
#include <QPushButton>

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

    // Pastes `text` into the grid; `script` plays the clerk in the mapping dialog.
    static void paste(WindowFixture &w, const QString &text,
                      std::function<void(ImportDialog &)> script)
    {
        QGuiApplication::clipboard()->setText(text);
        ImportDialog::setScript(std::move(script));
        auto *grid = w.widget("DBGridLijekovi");
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
        ImportDialog::setScript({});
    }

    static QAction *takeBack(WindowFixture &w)
    {
        return w.form->findChild<QMenu *>()->actions().at(1);
    }

private slots:
    void init() { QStandardPaths::setTestModeEnabled(true); }

    void pasteIsOneStepThatCanBeTakenBack()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"Prvi\""_s, u"Naziv=\"Drugi\""_s}));
        QVERIFY(w.start());
        paste(w, row(u"A"_s) + row(u"B"_s) + row(u"C"_s), [](ImportDialog &d) { d.accept(); });
        QCOMPARE(w.table().recordCount(), 5u);
        QCOMPARE(w.count(), u"5"_s);
        for (std::size_t i = 0; i < 5; ++i)
            QCOMPARE(w.valueAt(i, Name),
                     QStringList({u"Prvi"_s, u"Drugi"_s, u"A"_s, u"B"_s, u"C"_s})[qsizetype(i)]);
        QCOMPARE(w.valueAt(4, Price), u"12,5"_s);
        QCOMPARE(w.table().currentRow(), 2u);
        QVERIFY(w.button("BitBtnDel")->isEnabled());
        QCOMPARE(takeBack(w)->text(), u"Poništi uvoz (3 zapisa)"_s);

        takeBack(w)->trigger();
        QCOMPARE(w.table().recordCount(), 2u);
        QCOMPARE(w.valueAt(1, Name), u"Drugi"_s);
        QVERIFY(!takeBack(w)->isEnabled());
        // Nothing was carried over: a new record starts as empty as before the paste.
        w.click("BitBtnAdd");
        QCOMPARE(w.value(Supplier), QString());
        QCOMPARE(Dialogs::takeShown().size(), 1); // the start-up message, nothing else
    }

    void problemRowsAreLeftOutAndCancelChangesNothing()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"Prvi\""_s}));
        QVERIFY(w.start());
        std::vector<textimport::Problem> problems;
        paste(w, row(u"A"_s) + row(u"B"_s, u"1.234"_s) + row(u"C"_s), [&](ImportDialog &d) {
            problems = d.importResult().problems;
            d.accept();
        });
        QCOMPARE(problems.size(), 1u);
        QCOMPARE(problems[0].line, 2u);
        QVERIFY(problems[0].reason.find("1.234") != std::string::npos);
        QCOMPARE(w.table().recordCount(), 3u);
        QCOMPARE(w.valueAt(2, Name), u"C"_s);

        // At a first start, the empty begun record gives way to the list.
        WindowFixture first;
        QVERIFY(first.start());
        paste(first, row(u"F"_s), [](ImportDialog &d) { d.accept(); });
        QCOMPARE(first.table().rowCount(), 1u);
        QCOMPARE(first.valueAt(0, Name), u"F"_s);
        takeBack(first)->trigger();
        QCOMPARE(first.table().recordCount(), 0u);
        QVERIFY(!first.button("BitBtnDel")->isEnabled());

        const QByteArray saved = w.readDatabase();
        const std::uint64_t changes = w.table().changeCount();
        paste(w, row(u"D"_s) + row(u"E"_s), [](ImportDialog &) {}); // cancelled
        QCOMPARE(w.table().changeCount(), changes);
        QCOMPARE(w.table().recordCount(), 3u);
        paste(w, u"one value"_s, [](ImportDialog &) { QFAIL("no dialog for a single value"); });
        QCOMPARE(w.readDatabase(), saved);
    }

    // As a supplier sends it: a title above the headings, a currency in one, a total below.
    void supplierListWithTitleAndTotal()
    {
        WindowFixture w;
        QVERIFY(w.start());
        QString button;
        paste(w,
              u"Ponuda br. 245/2025 – Medika d.d.\nDatum: 3. 3. 2025.\n\n"
              u"Šifra\tNaziv artikla\tJ.M.\tKol.\tCijena (EUR)\tIznos u EUR\n"
              u"K-1\tGaza\tkom\t2\t1,50\t3,00\nK-2\tZavoj\tkom\t4\t2,25\t9,00\n"
              u"K-3\tVata\tkg\t1\t0,50\t0,50\n\tUkupno\t\t\t\t12,50\n"_s,
              [&](ImportDialog &d) {
                  button = d.importButton()->text();
                  d.accept();
              });
        QCOMPARE(button, u"Uvezi 3 zapisa"_s);
        QCOMPARE(w.table().recordCount(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            QCOMPARE(w.valueAt(i, Currency), u"EUR"_s);
        QCOMPARE(w.valueAt(2, Name), u"Vata"_s);
        QCOMPARE(w.valueAt(2, CatalogueNumber), u"K-3"_s);
        QCOMPARE(w.valueAt(2, Unit), u"kg"_s);
    }
};

QTEST_MAIN(TestImportWindow)
#include "TestImportWindow.moc"

#include "WindowFixture.h"
#include "gui/binding/ColumnValues.h"
#include "gui/binding/DataSource.h"
#include "gui/binding/TableModel.h"
#include "gui/widgets/RecordGrid.h"

#include <QAbstractItemModelTester>
#include <QListView>

#include <random>

using namespace data;
using namespace Qt::StringLiterals;

namespace {

// The entries of a list, its chosen one in brackets.
QString rowsOf(const QAbstractItemModel &model, const QModelIndex &chosen = {})
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex entry = model.index(row, 0);
        rows << (entry == chosen ? u"[%1]"_s : u"%1"_s).arg(entry.data().toString());
    }
    return rows.join(u'|');
}

// The entries of the open list, or nothing.
QString offered(WindowFixture &w)
{
    for (QListView *list : w.form->findChildren<QListView *>(u"completionList"_s)) {
        if (list->isVisible())
            return rowsOf(*list->model(), list->currentIndex());
    }
    return {};
}

void press(WindowFixture &w, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(w.focus(), key, modifiers);
}

} // namespace

class TestCompletion : public QObject {
    Q_OBJECT

private:
    // Three records without a warning, so that F8 finds none to go to.
    static bool start(WindowFixture &w)
    {
        const QString valid = u"Tar_br=\"30049000\" Valuta=\"EUR\" Kolicina=\"1\" Cijena=\"2\" "_s;
        return w.startWith({valid + u"Naziv=\"Kateter\" Proizvodjac=\"Fresenius Medical Care\" "
                                    u"Uvoznik=\"Čakovec\" Jed_mjere=\"kom\""_s,
                            valid + u"Naziv=\"Zavoj\" Proizvodjac=\"Fresenius Kabi\" "
                                    u"Jed_mjere=\"kut\""_s,
                            valid + u"Naziv=\"Igla\" Proizvodjac=\"B. Braun\""_s});
    }

    // Opens the editor of the name cell in `row`, its text selected.
    static void openNameCell(WindowFixture &w, int row)
    {
        auto *grid = w.widget<gui::RecordGrid>("recordGrid");
        const QModelIndex cell = grid->model()->index(row, 1);
        QCOMPARE(grid->tableModel().fieldAt(1), Name);
        w.clickAt(grid->viewport(), grid->visualRect(cell).center());
        grid->edit(cell);
        qobject_cast<QLineEdit *>(w.focus())->selectAll();
    }

private slots:
    void init() { gui::Dialogs::setScripted(true); }

    // Arrow and Enter take an entry as typed text, in a box and, with one Enter, in a cell.
    void chosenEntriesReachTheTable()
    {
        WindowFixture w;
        QVERIFY(start(w));
        const std::size_t row = w.table().currentRow();
        w.type(Manufacturer, u"fres"_s);
        QCOMPARE(offered(w), u"Fresenius Kabi|Fresenius Medical Care"_s);
        press(w, Qt::Key_Down);
        press(w, Qt::Key_Down);
        QCOMPARE(offered(w), u"Fresenius Kabi|[Fresenius Medical Care]"_s);
        QCOMPARE(w.edit(Manufacturer)->text(), u"fres"_s);
        press(w, Qt::Key_Return);
        QCOMPARE(offered(w), QString());
        QCOMPARE(w.edit(Manufacturer)->text(), u"Fresenius Medical Care"_s);
        press(w, Qt::Key_Z, Qt::ControlModifier); // the box's own take-back: it was typed
        QCOMPARE(w.edit(Manufacturer)->text(), u"fres"_s);
        press(w, Qt::Key_Y, Qt::ControlModifier);
        w.tab();
        QCOMPARE(w.focus(), w.edit(Protocol));
        QCOMPARE(w.valueAt(row, Manufacturer), u"Fresenius Medical Care"_s);

        openNameCell(w, 0);
        WindowFixture::keys(w.focus(), u"i"_s);
        QCOMPARE(offered(w), u"Igla"_s);
        press(w, Qt::Key_Down);
        press(w, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate commits from the event loop
        QCOMPARE(w.valueAt(0, Name), u"Igla"_s);
        QCOMPARE(w.focus()->objectName(), u"recordGrid"_s);
    }

    // A clerk who does not look at the list: Tab keeps the typed text, Esc closes only the list,
    // F8 works as ever; a list of only what was typed is not shown.
    void ignoredListsChangeNothing()
    {
        WindowFixture w;
        QVERIFY(start(w));
        const std::size_t row = w.table().currentRow();
        w.type(Importer, u"cako"_s);
        QCOMPARE(offered(w), u"Čakovec"_s);
        press(w, Qt::Key_Down); // chosen but not taken
        w.tab();
        QCOMPARE(offered(w), QString());
        QCOMPARE(w.focus(), w.edit(Unit));
        QCOMPARE(w.valueAt(row, Importer), u"cako"_s);

        WindowFixture::keys(w.focus(), u"k"_s);
        QCOMPARE(offered(w), u"kom|kut"_s);
        press(w, Qt::Key_Escape);
        QCOMPARE(offered(w), QString());
        QCOMPARE(w.edit(Unit)->text(), u"k"_s);
        press(w, Qt::Key_Escape); // without a list, Esc puts the value back as ever
        QCOMPARE(w.edit(Unit)->text(), w.valueAt(row, Unit));
        w.type(Unit, u"kom"_s);
        QCOMPARE(offered(w), QString());
        // F8 hands the text over and, with no warning to go to, leaves the focus in the box.
        w.type(Unit, u"k"_s);
        press(w, Qt::Key_F8);
        QCOMPARE(w.valueAt(row, Unit), u"k"_s);
        QCOMPARE(offered(w), QString());

        openNameCell(w, 1);
        WindowFixture::keys(w.focus(), u"Ka"_s);
        QCOMPARE(offered(w), u"Kateter"_s);
        press(w, Qt::Key_Escape);
        press(w, Qt::Key_Return); // the editor stayed open with the typed text
        QCoreApplication::processEvents();
        QCOMPARE(w.valueAt(1, Name), u"Ka"_s);
    }

    // A record typed in tab order, lists opening on the way: the price box's Tab still begins
    // the next record, which offers what the last one brought.
    void recordTypedWithListsOpen()
    {
        WindowFixture w;
        QVERIFY(start(w));
        w.click("addButton");
        for (const QString &value :
             {u"30049000"_s, u"Kat"_s, u"K-1"_s, u"V07AB"_s, u"Fre"_s, u"P-1"_s, u"Medika"_s,
              u"Ča"_s, u"k"_s, u"2"_s, u"EUR"_s, u"3"_s}) {
            WindowFixture::keys(w.focus(), value);
            w.tab();
        }
        QCOMPARE(w.focus(), w.edit(TariffNumber));
        QCOMPARE(w.table().state(), TableState::Insert);
        QCOMPARE(w.valueAt(w.table().currentRow() + 1, Manufacturer), u"Fre"_s);
        w.type(Name, u"ka"_s);
        QCOMPARE(offered(w), u"Kat|Kateter"_s);
    }

    // The values as a model, after every kind of table change, against the column read anew.
    void valuesKeepUpWithTheTable()
    {
        Table table(productSchema());
        table.replaceContent({});
        gui::DataSource source(table);
        gui::ColumnValues &values = gui::ColumnValues::of(source, Supplier);
        QAbstractItemModelTester tester(&values,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const char *words[] = {"Medika", "medika", "Médika", "", "Oktal", "Đakovo", "dakovo", "😀"};
        std::minstd_rand random(7);
        const auto word = [&] { return words[random() % std::size(words)]; };
        const auto read = [](gui::ColumnValues &column) {
            column.ensureRead();
            return rowsOf(column);
        };
        read(values);
        for (int step = 0; step < 300; ++step) {
            const std::size_t rows = table.rowCount();
            switch (random() % 7) {
            case 0:
                table.insert();
                table.setText(Supplier, word());
                break;
            case 1:
                if (rows == 0)
                    break;
                table.moveTo(random() % rows);
                table.edit();
                table.setText(Supplier, word());
                table.commit();
                break;
            case 2:
                if (rows > 0)
                    table.remove();
                break;
            case 3:
                table.undo();
                break;
            case 4:
                table.redo();
                break;
            case 5:
                if (rows > 1)
                    table.fill(Supplier, {0, rows - 1}, {word(), word()});
                break;
            case 6: { // more than 64 rows reset the table
                std::vector<Record> added(random() % 4 ? 2 : 70, Record(ProductFieldCount));
                for (Record &record : added)
                    record.setValue(Supplier, word());
                table.appendRecords(std::move(added));
                break;
            }
            }
            gui::ColumnValues fresh(source, Supplier);
            QCOMPARE(read(values), read(fresh));
        }
        QVERIFY(values.rowCount() > 3);
    }
};

QTEST_MAIN(TestCompletion)
#include "TestCompletion.moc"

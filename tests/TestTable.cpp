#include "data/Error.h"
#include "data/ProductDatabase.h"
#include "data/ProductSchema.h"
#include "data/Table.h"

#include <QDir>
#include <QTest>

#include <filesystem>
#include <string>
#include <vector>

using namespace data;

namespace {

// Writes every notification and hook call as one word, so a test can compare their order.
class Recorder : public TableObserver {
public:
    explicit Recorder(Table &table)
        : m_table(table)
    {
        table.addObserver(this);
        table.beforePost = [this] { log.push_back("beforePost"); };
        table.afterPost = [this] { log.push_back("afterPost"); };
        table.afterInsert = [this] { log.push_back("afterInsert"); };
        table.updateRecord = [this] { log.push_back("update"); };
    }
    ~Recorder() override { m_table.removeObserver(this); }

    void valueChanged(std::size_t row, std::size_t field) override
    {
        log.push_back("value " + std::to_string(row) + " " + std::to_string(field));
    }
    void rowInserted(std::size_t row) override { log.push_back("inserted " + std::to_string(row)); }
    void rowRemoved(std::size_t row) override { log.push_back("removed " + std::to_string(row)); }
    void currentChanged() override
    {
        log.push_back("current " + std::to_string(m_table.currentRow()));
    }
    void stateChanged() override { log.push_back("state"); }
    void reset() override { log.push_back("reset"); }

    std::vector<std::string> take() { return std::exchange(log, {}); }

    std::vector<std::string> log;

private:
    Table &m_table;
};

Record named(std::string_view name)
{
    Record r(ProductFieldCount);
    r.setValue(Naziv, name);
    return r;
}

// A table holding records named by the letters of `names` ('-' for an unnamed record).
Table tableOf(std::string_view names)
{
    Table t(productSchema());
    std::vector<Record> rows;
    for (char c : names)
        rows.push_back(named(c == '-' ? std::string_view() : std::string_view(&c, 1)));
    t.replaceContent(std::move(rows));
    return t;
}

std::string namesOf(const Table &t)
{
    std::string s;
    for (std::size_t r = 0; r < t.rowCount(); ++r) {
        const std::string name = t.text(r, Naziv);
        s += name.empty() ? "-" : name;
    }
    return s;
}

} // namespace

class TestTable : public QObject {
    Q_OBJECT

private slots:
    void closedTableRefusesOperations()
    {
        Table t(productSchema());
        QCOMPARE(t.state(), TableState::Inactive);
        QVERIFY_THROWS_EXCEPTION(Error, t.first());
        QVERIFY_THROWS_EXCEPTION(Error, t.insert());
        QVERIFY_THROWS_EXCEPTION(Error, t.remove());
        QVERIFY_THROWS_EXCEPTION(Error, t.saveToFile("x.xml"));
        t.close();
        t.open();
        QCOMPARE(t.state(), TableState::Browse);
        QCOMPARE(t.recordCount(), 0u);
        QVERIFY(t.eof());
    }

    void emptyTableCursor()
    {
        Table t(productSchema());
        t.createDataSet();
        t.first();
        t.last();
        t.next();
        t.prior();
        QVERIFY(t.eof());
        QCOMPARE(t.rowCount(), 0u);
        QVERIFY_THROWS_EXCEPTION(Error, t.remove());
    }

    void eofRules()
    {
        Table t = tableOf("abc");
        QVERIFY(!t.eof());
        t.last();
        t.next();
        QVERIFY(t.eof());
        QCOMPARE(t.currentRow(), 2u);
        t.prior();
        QVERIFY(!t.eof());
        QCOMPARE(t.currentRow(), 1u);
        t.first();
        t.prior();
        QCOMPARE(t.currentRow(), 0u);
    }

    void insertPlacesRecordAheadOfCurrent()
    {
        Table t = tableOf("abc");
        t.moveTo(1);
        t.insert();
        QCOMPARE(t.currentRow(), 1u);
        QVERIFY(t.isBegunRow(1));
        QCOMPARE(t.recordCount(), 3u);
        QCOMPARE(t.rowCount(), 4u);
        t.setText(Naziv, "x");
        t.post();
        QCOMPARE(namesOf(t), std::string("axbc"));
        QCOMPARE(t.recordCount(), 4u);
        QCOMPARE(t.currentRow(), 1u);
    }

    void untouchedBegunRecordIsDroppedByMove()
    {
        Table t = tableOf("ab");
        t.last();
        t.insert();
        t.first();
        QCOMPARE(namesOf(t), std::string("ab"));
        QCOMPARE(t.state(), TableState::Browse);
        QCOMPARE(t.currentRow(), 0u);

        // Moving to a row below a dropped begun record lands on the record that was clicked.
        t.insert();
        t.moveTo(2);
        QCOMPARE(t.text(Naziv), std::string("b"));
    }

    void writtenBegunRecordIsCommittedByMoveOrInsert()
    {
        Table t = tableOf("a");
        t.insert();
        t.setText(Dobavljac, ""); // writing empty text is a change too
        t.insert();
        QCOMPARE(t.recordCount(), 2u);
        QCOMPARE(namesOf(t), std::string("--a"));
        t.last();
        QCOMPARE(t.recordCount(), 2u);
        QCOMPARE(namesOf(t), std::string("-a"));
    }

    void editWithoutChangeCommitsNothing()
    {
        Table t = tableOf("ab");
        Recorder rec(t);
        t.edit();
        QCOMPARE(t.state(), TableState::Edit);
        t.next();
        QVERIFY(!contains(rec.log, "beforePost"));
        QCOMPARE(t.state(), TableState::Browse);
    }

    void editOnEmptyTableBeginsRecord()
    {
        Table t(productSchema());
        t.createDataSet();
        bool inserted = false;
        t.afterInsert = [&] { inserted = true; };
        t.edit();
        QCOMPARE(t.state(), TableState::Insert);
        QVERIFY(inserted);
    }

    void commitOrderThroughCursorMove()
    {
        Table t = tableOf("ab");
        Recorder rec(t);
        t.edit();
        t.setText(Naziv, "z");
        rec.take();
        t.next();
        const std::vector<std::string> expected{"update", "beforePost", "state", "afterPost",
                                                "current 1"};
        QCOMPARE(rec.take(), expected);
    }

    void insertOrder()
    {
        Table t = tableOf("a");
        Recorder rec(t);
        t.afterInsert = [&] {
            rec.log.push_back("afterInsert");
            t.setText(Valuta, "EUR");
        };
        // Inserting while a record is edited commits it first.
        t.edit();
        t.setText(Naziv, "b");
        rec.take();
        t.insert();
        const std::vector<std::string> expected{"update",    "beforePost",  "state",
                                                "afterPost", "inserted 0",  "current 0",
                                                "state",     "afterInsert", "value 0 9"};
        QCOMPARE(rec.take(), expected);
    }

    void refusedHandOverStopsTheMove()
    {
        Table t = tableOf("ab");
        t.edit();
        t.setText(Naziv, "z");
        t.updateRecord = [] { throw Error("refused"); };
        QVERIFY_THROWS_EXCEPTION(Error, t.next());
        QCOMPARE(t.state(), TableState::Edit);
        QCOMPARE(t.currentRow(), 0u);
    }

    void numberFieldParsesTypedText()
    {
        Table t = tableOf("a");
        t.edit();
        t.setText(Kolicina, " 12,5 ");
        QCOMPARE(t.text(Kolicina), std::string("12,5"));
        QCOMPARE(t.storedValue(0, Kolicina), std::string_view("12.5"));
        try {
            t.setText(Kolicina, "abc");
            QFAIL("a text that is not a number was accepted");
        } catch (const Error &e) {
            QCOMPARE(std::string(e.what()), std::string("'abc' nije ispravan broj."));
        }
        QCOMPARE(t.text(Kolicina), std::string("12,5"));
        t.setText(Kolicina, "");
        QVERIFY(!t.number(0, Kolicina).has_value());
    }

    void textIsCleanedOfControlCharacters()
    {
        Table t = tableOf("a");
        t.edit();
        t.setText(Naziv, "a\tb\r\nc\x01"
                         "d");
        QCOMPARE(t.text(Naziv), std::string("a b  cd"));
    }

    void deleteRules()
    {
        Table t = tableOf("abc");
        t.moveTo(1);
        t.remove();
        QCOMPARE(namesOf(t), std::string("ac"));
        QCOMPARE(t.text(Naziv), std::string("c"));
        t.remove();
        QCOMPARE(t.text(Naziv), std::string("a")); // the removed one was last

        // A begun record is dropped and the record current before the insert is current again.
        t.insert();
        t.setText(Naziv, "n");
        t.remove();
        QCOMPARE(namesOf(t), std::string("a"));
        QCOMPARE(t.text(Naziv), std::string("a"));
        QCOMPARE(t.state(), TableState::Browse);

        // An edited record is removed with its pending change.
        t.edit();
        t.setText(Naziv, "q");
        t.remove();
        QCOMPARE(t.recordCount(), 0u);
        QVERIFY(t.eof());
    }

    void purgeRemovesUnnamedInOnePass()
    {
        Table t = tableOf("--a---b- -");
        Recorder rec(t);
        purgeUnnamedRecords(t);
        QCOMPARE(namesOf(t), std::string("ab "));
        QCOMPARE(t.currentRow(), 2u);
        QVERIFY(t.eof());
        const auto log = rec.take();
        QCOMPARE(std::count(log.begin(), log.end(), std::string("reset")), 1);
        QVERIFY(!contains(log, "removed 0"));

        Table onlyUnnamed = tableOf("---");
        purgeUnnamedRecords(onlyUnnamed);
        QCOMPARE(onlyUnnamed.rowCount(), 0u);
    }

    void purgeCommitsAnErasedNameFirst()
    {
        Table t = tableOf("ab");
        t.last();
        t.edit();
        t.setText(Naziv, "");
        purgeUnnamedRecords(t);
        QCOMPARE(namesOf(t), std::string("a"));
    }

    void createEmptyDatabaseLeavesBegunRecord()
    {
        const QString dir = QDir::tempPath() + QStringLiteral("/kalvendor-table-test");
        QDir().mkpath(dir);
        const std::string file = (dir + QStringLiteral("/Baza.xml")).toStdString();
        Table t = tableOf("ab");
        createEmptyDatabase(t, file);
        QCOMPARE(t.state(), TableState::Insert);
        QCOMPARE(t.recordCount(), 0u);
        QCOMPARE(t.rowCount(), 1u);

        Table reread(productSchema());
        QVERIFY(loadExistingDatabase(reread, file));
        QCOMPARE(reread.rowCount(), 0u);
        QDir(dir).removeRecursively();
        QVERIFY(!loadExistingDatabase(reread, file));

        // A file that cannot be looked at is reported, never taken for absent and overwritten.
        QDir().mkpath(dir);
        std::filesystem::create_symlink("Baza.xml", file);
        QVERIFY_THROWS_EXCEPTION(Error, loadExistingDatabase(reread, file));
        QDir(dir).removeRecursively();
    }

private:
    static bool contains(const std::vector<std::string> &log, const std::string &entry)
    {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "TestTable.moc"

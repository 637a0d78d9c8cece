#include "TestSupport.h"

#include "format/DatabaseFile.h"
#include "model/CarriedValues.h"
#include "model/ProductSchema.h"
#include "model/Table.h"
#include "platform/Error.h"

#include <QTest>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace data;
using namespace Qt::StringLiterals;

namespace {

// The history as nothing but whole copies of the table, a row known by a number of its own:
// what the table's history must always agree with.
class PlainModel {
public:
    struct Row {
        int id;
        std::string name, quantity;
        bool operator==(const Row &) const = default;
    };
    using Rows = std::vector<Row>;

    Rows rows;

    void change(const Rows &next)
    {
        if (next == rows)
            return;
        m_undo.push_back(rows);
        m_redo.clear();
        rows = next;
    }
    void undo() { move(m_undo, m_redo); }
    void redo() { move(m_redo, m_undo); }
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }

    // A save removes the unnamed rows: those that ever had a name in one step, and every trace
    // of the others, with the steps left without a change.
    void purge()
    {
        const auto hadName = [&](int id) {
            for (const Rows *copy : copiesDone())
                for (const Row &r : *copy)
                    if (r.id == id && !r.name.empty())
                        return true;
            return false;
        };
        std::vector<int> forgotten;
        Rows kept;
        bool anyNamed = false;
        for (const Row &r : rows) {
            if (!r.name.empty())
                kept.push_back(r);
            else if (hadName(r.id))
                anyNamed = true;
            else
                forgotten.push_back(r.id);
        }
        if (kept.size() == rows.size())
            return;
        m_redo.clear();
        if (anyNamed)
            m_undo.push_back(rows);
        rows = kept;
        for (Rows *copy : copiesDone())
            std::erase_if(*copy, [&](const Row &r) {
                return std::find(forgotten.begin(), forgotten.end(), r.id) != forgotten.end();
            });
        // A step between two equal copies changed nothing that is left.
        std::vector<Rows> steps;
        for (std::size_t i = 0; i < m_undo.size(); ++i) {
            if (m_undo[i] != (i + 1 < m_undo.size() ? m_undo[i + 1] : rows))
                steps.push_back(m_undo[i]);
        }
        m_undo = std::move(steps);
    }

private:
    std::vector<Rows *> copiesDone()
    {
        std::vector<Rows *> copies{&rows};
        for (Rows &r : m_undo)
            copies.push_back(&r);
        return copies;
    }
    void move(std::vector<Rows> &from, std::vector<Rows> &to)
    {
        if (from.empty())
            return;
        to.push_back(rows);
        rows = from.back();
        from.pop_back();
    }

    std::vector<Rows> m_undo, m_redo;
};

} // namespace

// The history of changes: every change one step, taken back and done again exactly.
class TestHistory : public QObject {
    Q_OBJECT

private slots:
    // Scripts of steps: dN deletes row N, mN moves to row N, eX names the current record X,
    // iX begins X ahead of the current record, aXY appends X and Y, p purges the unnamed, b
    // begins a record, r removes the current one, u takes back, y redoes, E erases all, c
    // loads an empty table.
    void scripts_data()
    {
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("script");
        // The names, the current one, + if a step can be taken back, > if one can be redone.
        QTest::addColumn<QString>("expected");
        QTest::newRow("deletions in order") << u"abcd"_s << u"d1 d1 u u"_s << u"abcd b>"_s;
        QTest::newRow("deletions from the back") << u"abcd"_s << u"d2 d1 u u"_s << u"abcd c>"_s;
        QTest::newRow("the last record") << u"abc"_s << u"d2 u"_s << u"abc c>"_s;
        QTest::newRow("a new record, then a deletion back")
            << u"abc"_s << u"d1 ix u u"_s << u"abc b>"_s;
        QTest::newRow("a new record typed is the step taken back")
            << u"abc"_s << u"d1 ix u"_s << u"ac c+>"_s;
        QTest::newRow("a change of a record") << u"abc"_s << u"m1 ex u"_s << u"abc b>"_s;
        QTest::newRow("a change redone") << u"abc"_s << u"m1 ex u y"_s << u"axc x+"_s;
        QTest::newRow("a deletion redone") << u"abc"_s << u"d1 u y"_s << u"ac c+"_s;
        QTest::newRow("a new change ends the redo") << u"abc"_s << u"d1 u d0"_s << u"bc b+"_s;
        QTest::newRow("the next one purged") << u"ab-c"_s << u"d1 p u"_s << u"abc b>"_s;
        QTest::newRow("purged, a later one back first")
            << u"a-bc"_s << u"d0 d1 p u u"_s << u"abc a>"_s;
        QTest::newRow("the next ones purged to the end") << u"ab--"_s << u"d1 p u"_s << u"ab b>"_s;
        QTest::newRow("a name cleared is a deletion at the save")
            << u"abc"_s << u"m1 e p u"_s << u"a-c -+>"_s;
        QTest::newRow("a record never named is forgotten") << u"ab"_s << u"b e- p"_s << u"ab b"_s;
        QTest::newRow("an append, a deletion in it") << u"ab"_s << u"axyz d3 u"_s << u"abxyz y+>"_s;
        QTest::newRow("an append taken back whole") << u"ab"_s << u"axyz d3 u u"_s << u"ab b>"_s;
        QTest::newRow("an append redone") << u"ab"_s << u"axyz u y"_s << u"abxyz x+"_s;
        QTest::newRow("an erase taken back") << u"abc"_s << u"m1 E u"_s << u"abc a>"_s;
        QTest::newRow("an erase redone") << u"abc"_s << u"E u y"_s << u" +"_s;
        QTest::newRow("a begun record is no step") << u"ab"_s << u"b r"_s << u"ab a"_s;
        QTest::newRow("an untouched begun record goes before a take-back")
            << u"ab"_s << u"d0 b u"_s << u"ab a>"_s;
        QTest::newRow("a load forgets") << u"ab"_s << u"d0 c"_s << u" "_s;
    }

    void scripts()
    {
        QFETCH(QString, names);
        QFETCH(QString, script);
        QFETCH(QString, expected);
        Table t = tableOf(names.toStdString());
        for (const QString &step : script.split(u' ')) {
            const std::string arg = step.mid(1).toStdString();
            const char op = step.at(0).toLatin1();
            if (op == 'd' || op == 'm')
                t.moveTo(std::stoul(arg));
            if (op == 'd' || op == 'r')
                t.remove();
            if (op == 'i' || op == 'b')
                t.insert();
            if (op == 'e')
                t.edit();
            if (op == 'i' || op == 'e')
                t.setText(Name, arg == "-" ? "" : arg); // the next step commits it
            if (op == 'u')
                t.undo();
            if (op == 'y')
                t.redo();
            if (op == 'a')
                t.appendRecords(tableOf(arg).rows());
            if (op == 'p')
                t.removeRecordsWithEmpty(data::Name);
            if (op == 'E')
                t.removeAll();
            if (op == 'c')
                t.replaceContent({});
        }
        t.endEdit();
        const std::string current = t.rowCount() ? " " + t.text(Name) : " ";
        QCOMPARE(QString::fromStdString(namesOf(t) +
                                        (current == " " && t.rowCount() ? " -" : current) +
                                        (t.canUndo() ? "+" : "") + (t.canRedo() ? ">" : "")),
                 expected);
        QCOMPARE(t.state(), TableState::Browse);
    }

    // Taking back restores the carried-over values as they were before the step, redoing as
    // they were after it, without running the rules: a supplier taken back is not carried on.
    void carriedValuesFollowTheHistory()
    {
        Table t(productSchema());
        CarriedValues carried;
        t.setRecordRules(&carried);
        t.replaceContent({});
        t.insert();
        t.setText(Name, "Zavoj");
        t.setText(Supplier, "Medika");
        t.insert(); // commits Zavoj: Medika is carried on
        QCOMPARE(t.text(Supplier), std::string("Medika"));
        t.setText(Name, "Gaza");
        t.setText(Supplier, "Krka");
        t.commit();
        t.undo(); // Gaza goes, and Krka with it
        t.insert();
        QCOMPARE(t.text(Supplier), std::string("Medika"));
        t.remove();
        t.redo();
        QCOMPARE(t.text(Name), std::string("Gaza"));
        t.insert();
        QCOMPARE(t.text(Supplier), std::string("Krka"));
        t.setRecordRules(nullptr);
    }

    // A fill is one step; every value is read as typed text, and one refused changes nothing.
    void fillIsOneStep()
    {
        Table t = tableOf("abcd");
        t.fill(Quantity, {0, 2, 3}, {"1,5", "1.234,5", "2"});
        QCOMPARE(t.text(0, Quantity) + "|" + t.text(2, Quantity) + "|" + t.text(3, Quantity),
                 std::string("1,5|1234,5|2"));
        QCOMPARE(t.undoSummary()->kind, StepKind::CellsFilled);
        QCOMPARE(t.undoSummary()->records, std::size_t(3));
        QCOMPARE(t.currentRow(), 0u);
        t.undo();
        QCOMPARE(t.text(2, Quantity), std::string());
        QVERIFY(!t.canUndo());
        t.redo();
        QCOMPARE(t.text(2, Quantity), std::string("1234,5"));
        const std::uint64_t changes = t.changeCount();
        QVERIFY_THROWS_EXCEPTION(Error, t.fill(Quantity, {0, 1}, {"3", "1.250"}));
        QVERIFY_THROWS_EXCEPTION(Error, t.fill(Unit, {0, 1}, {"kom", std::string(11, 'x')}));
        QVERIFY_THROWS_EXCEPTION(Error, t.fill(Quantity, {1, 0}, {"3", "4"}));
        QCOMPARE(t.text(0, Quantity), std::string("1,5"));
        QCOMPARE(t.changeCount(), changes);
        t.fill(Quantity, {0}, {"1,5"}); // nothing changes, nothing to take back
        QCOMPARE(t.undoSummary()->records, std::size_t(3));
    }

    // Many records typed at one place, so that the room between two keys runs out and they
    // are numbered anew, with the history's own: every step still goes back where it was.
    void placesSurviveRenumbering()
    {
        Table t = tableOf("az");
        for (int i = 0; i < 70000; ++i) {
            t.last();
            t.insert();
            t.setText(Name, "m");
            t.commit();
            if (i % 1000 == 0) {
                t.remove();
                t.undo();
            }
        }
        QCOMPARE(t.rowCount(), std::size_t(70002));
        t.moveTo(1);
        t.remove();
        t.last();
        t.insert();
        t.setText(Name, "y");
        t.commit();
        QCOMPARE(t.text(t.rowCount() - 2, Name) + t.text(t.rowCount() - 1, Name),
                 std::string("yz"));
        t.undo();
        t.undo();
        QCOMPARE(t.rowCount(), std::size_t(70002));
        QCOMPARE(t.text(0, Name) + t.text(1, Name) + t.text(t.rowCount() - 2, Name) +
                     t.text(t.rowCount() - 1, Name),
                 std::string("ammz"));
    }

    // Random edits, new records, deletions, imports, erases, saves, take-backs and redos,
    // against the plain model after every one.
    void agreesWithAPlainModel()
    {
        std::minstd_rand random(26);
        const char *names[] = {"", "A", "B", "C"};
        for (int round = 0; round < 150; ++round) {
            Table t = tableOf("ab");
            PlainModel model;
            model.rows = {{-1, "a", ""}, {-2, "b", ""}};
            int nextId = 1;
            QString done; // the steps so far, for a failure's message
            for (int step = 0; step < 150; ++step) {
                const auto op = random() % 10;
                const std::size_t size = t.rowCount();
                const std::size_t row = size ? random() % size : 0;
                done += u"%1@%2 "_s.arg(op).arg(row);
                PlainModel::Rows next = model.rows;
                if (op == 0 && size > 0) { // a record changed
                    t.moveTo(row);
                    t.edit();
                    const std::string name = names[random() % 4];
                    t.setText(Name, name);
                    t.commit();
                    next[row].name = name;
                    model.change(next);
                } else if (op <= 2) { // a new record, perhaps never named
                    t.moveTo(row);
                    t.insert();
                    const std::string name = names[random() % 4];
                    t.setText(Name, name);
                    t.setText(Quantity, "1");
                    t.commit();
                    next.insert(next.begin() + static_cast<std::ptrdiff_t>(row),
                                {nextId++, name, "1"});
                    model.change(next);
                } else if (op == 3 && size > 0) {
                    t.moveTo(row);
                    t.remove();
                    next.erase(next.begin() + static_cast<std::ptrdiff_t>(row));
                    model.change(next);
                } else if (op == 4 && random() % 3 == 0) {
                    // Now and then more rows than are told one by one.
                    const std::string names = random() % 4 ? "xy" : std::string(70, 'z');
                    t.appendRecords(tableOf(names).rows());
                    for (char c : names)
                        next.push_back({nextId++, std::string(1, c), ""});
                    model.change(next);
                } else if (op == 4 && random() % 2 == 0) {
                    t.removeAll();
                    model.change({});
                } else if (op == 5) {
                    t.removeRecordsWithEmpty(data::Name);
                    model.purge();
                } else if (op <= 7) {
                    t.undo();
                    model.undo();
                } else if (op == 9 && size > 0) { // a fill of every other row from `row` on
                    std::vector<std::size_t> rows;
                    for (std::size_t r = row; r < size; r += 2)
                        rows.push_back(r);
                    const std::string quantity = std::to_string(random() % 3);
                    t.fill(Quantity, rows, std::vector<std::string>(rows.size(), quantity));
                    for (std::size_t r : rows)
                        next[r].quantity = quantity;
                    model.change(next);
                } else {
                    t.redo();
                    model.redo();
                }
                QString table, plain;
                for (std::size_t r = 0; r < t.rowCount(); ++r)
                    table +=
                        QString::fromStdString(t.text(r, Name) + "/" + t.text(r, Quantity) + " ");
                for (const PlainModel::Row &r : model.rows)
                    plain += QString::fromStdString(r.name + "/" + r.quantity + " ");
                const QString where = u"round %1: %2"_s.arg(round).arg(done);
                QVERIFY2(table == plain, qPrintable(where + u": "_s + table + u"≠ "_s + plain));
                QVERIFY2(t.canUndo() == model.canUndo() && t.canRedo() == model.canRedo(),
                         qPrintable(where));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "TestHistory.moc"

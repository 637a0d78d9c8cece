#include "data/Checks.h"
#include "data/ProductDatabase.h"
#include "data/ProductSchema.h"
#include "platform/DataSource.h"
#include "platform/TableModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace data;

namespace {

Table namedRecords(std::initializer_list<std::string_view> names)
{
    Table t(productSchema());
    std::vector<Record> rows;
    for (auto name : names) {
        Record r(ProductFieldCount);
        r.setValue(Naziv, name);
        rows.push_back(std::move(r));
    }
    t.replaceContent(std::move(rows));
    return t;
}

} // namespace

class TestTableModel : public QObject {
    Q_OBJECT

private slots:
    // Every kind of table change, watched by Qt's model checker, warnings included.
    void followsTheTableThroughEveryChange()
    {
        Table table = namedRecords({"a", "", "b"});
        Checks checks(table);
        platform::DataSource source(table);
        source.setChecks(&checks);
        platform::TableModel model(
            source, {{Naziv, QStringLiteral("Naziv"), 80}, {Kolicina, QStringLiteral("Kolicina")}});
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        table.moveTo(1);
        table.insert();
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("*"));
        QVERIFY(model.setData(model.index(1, 1), QStringLiteral("2,5")));
        QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("2,5"));
        QCOMPARE(model.data(model.index(1, 1), Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
        QVERIFY(model.data(model.index(1, 1), Qt::ToolTipRole).isNull()); // begun: unchecked
        QCOMPARE(model.data(model.index(2, 1), Qt::ToolTipRole).toString(),
                 QStringLiteral("Količina nije upisana"));

        // Writing into another row moves the cursor there first, committing the begun record.
        QVERIFY(model.setData(model.index(3, 0), QStringLiteral("c")));
        QCOMPARE(table.currentRow(), 3u);
        QCOMPARE(table.recordCount(), 4u);
        QCOMPARE(model.headerData(3, Qt::Vertical).toString(), QStringLiteral("▶"));
        QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QString());

        table.insert();
        table.first(); // drops the untouched begun record
        QCOMPARE(model.rowCount(), 4);
        table.remove();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(resets.size(), 0); // none of the above needs a reset

        purgeUnnamedRecords(table);
        QCOMPARE(resets.size(), 1);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("c"));

        table.close();
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        table.createDataSet();
        QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("x")));
    }

    void refusedNumberLeavesTheValue()
    {
        Table table = namedRecords({"a"});
        platform::DataSource source(table);
        platform::TableModel model(source, {{Kolicina, QStringLiteral("Kolicina")}});
        QVERIFY(model.setData(model.index(0, 0), QStringLiteral("1.5")));
        QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("1e5")));
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1,5"));
        // An unchanged value leaves the record untouched.
        table.post();
        QVERIFY(model.setData(model.index(0, 0), QStringLiteral("1,5")));
        QCOMPARE(table.state(), TableState::Browse);
    }
};

QTEST_MAIN(TestTableModel)
#include "TestTableModel.moc"

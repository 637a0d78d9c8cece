#include "format/DatabaseFile.h"
#include "gui/binding/DataSource.h"
#include "gui/binding/TableModel.h"
#include "model/Checks.h"
#include "model/ProductSchema.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace data;
using namespace Qt::StringLiterals;

class TestTableModel : public QObject {
    Q_OBJECT

private slots:
    // Every kind of table change, watched by Qt's model checker, warnings included.
    void followsTheTableThroughEveryChange()
    {
        Table table(productSchema());
        std::vector<Record> rows(3, Record(ProductFieldCount));
        rows[0].setValue(Name, "a");
        rows[2].setValue(Name, "b");
        table.replaceContent(std::move(rows));
        Checks checks(table);
        gui::DataSource source(table);
        source.setChecks(&checks);
        gui::TableModel model(source, {{Name, u"Naziv"_s, 80}, {Quantity, u"Kolicina"_s}});
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        table.moveTo(1);
        table.insert();
        QCOMPARE(model.rowCount(), 4);
        QVERIFY(model.setData(model.index(1, 1), u"2,5"_s));
        QCOMPARE(model.data(model.index(1, 1)).toString(), u"2,5"_s);
        QVERIFY(!model.setData(model.index(1, 1), u"1e5"_s)); // refused: kept
        QCOMPARE(model.data(model.index(1, 1)).toString(), u"2,5"_s);
        QCOMPARE(model.data(model.index(1, 1), Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
        QVERIFY(model.data(model.index(1, 1), Qt::ToolTipRole).isNull()); // begun: unchecked
        // A record without a name shows the one warning that it will not be saved.
        QCOMPARE(model.data(model.index(2, 0), Qt::ToolTipRole).toString(),
                 u"Zapis bez naziva neće se spremiti"_s);
        QVERIFY(model.data(model.index(2, 0), Qt::DecorationRole).isValid());
        QVERIFY(model.data(model.index(2, 1), Qt::ToolTipRole).isNull());
        QCOMPARE(model.data(model.index(3, 1), Qt::ToolTipRole).toString(),
                 u"Količina nije upisana"_s);

        // Writing into another row moves the cursor there first, committing the begun record.
        QVERIFY(model.setData(model.index(3, 0), u"c"_s));
        QCOMPARE(table.currentRow(), 3u);
        QCOMPARE(table.recordCount(), 4u);

        table.insert();
        table.first(); // drops the untouched begun record
        QCOMPARE(model.rowCount(), 4);
        table.remove();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(resets.size(), 0); // none of the above needs a reset
        // An unchanged value leaves the record untouched.
        QVERIFY(model.setData(model.index(0, 0), model.data(model.index(0, 0))));
        QCOMPARE(table.state(), TableState::Browse);

        table.removeRecordsWithEmpty(data::Name);
        QCOMPARE(resets.size(), 1);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.data(model.index(0, 0)).toString(), u"c"_s);

        table.close();
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        table.replaceContent({});
        QVERIFY(!model.setData(model.index(0, 0), u"x"_s));
    }
};

QTEST_MAIN(TestTableModel)
#include "TestTableModel.moc"

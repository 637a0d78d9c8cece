#include "data/Find.h"
#include "data/ProductSchema.h"

#include <QTest>

using namespace data;

class TestFind : public QObject {
    Q_OBJECT

private slots:
    void matching_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<bool>("found");
        const auto row = [](const char *text, const char *value, bool isNumber, bool found) {
            QTest::addRow("%s in %s", text, value)
                << QString::fromUtf8(text) << QString::fromUtf8(value) << isNumber << found;
        };
        row("cakovec", "Opća bolnica Čakovec", false, true);
        row("ČAKOVEC", "čakovec", false, true);
        row("ćđšž", "CDSZ", false, true);
        row("cdsz", "ĆĐŠŽ", false, true);
        row("dj", "đ", false, false);
        row("muller", "MÜLLER", false, true);
        row("cakovec", "C\u030Cakovec", false, true); // decomposed
        row("12,5", "12.5", true, true);
        row("12.5", "12.5", true, true);
        row("12,5", "12.5", false, false); // a text shows its point
    }

    // Through a table, so that a record is looked at as a whole and number fields as shown.
    void matching()
    {
        QFETCH(QString, text);
        QFETCH(QString, value);
        QFETCH(bool, isNumber);
        QFETCH(bool, found);
        Table t(productSchema());
        std::vector<Record> records(1, Record(ProductFieldCount));
        records[0].setValue(isNumber ? Cijena : Naziv, value.toStdString());
        t.replaceContent(std::move(records));
        QCOMPARE(findRecord(t, FindText(text.toStdString()), 0, true).has_value(), found);
    }
};

QTEST_GUILESS_MAIN(TestFind)
#include "TestFind.moc"

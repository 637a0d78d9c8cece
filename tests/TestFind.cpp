#include "model/Find.h"
#include "model/ProductSchema.h"

#include <QTest>

using namespace data;
using namespace Qt::StringLiterals;

class TestFind : public QObject {
    Q_OBJECT

private slots:
    void matching_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<bool>("found");
        QTest::newRow("plain") << u"cakovec"_s << u"Opća bolnica Čakovec"_s << false << true;
        QTest::newRow("ČAKOVEC in čakovec") << u"ČAKOVEC"_s << u"čakovec"_s << false << true;
        QTest::newRow("ćđšž in CDSZ") << u"ćđšž"_s << u"CDSZ"_s << false << true;
        QTest::newRow("cdsz in ĆĐŠŽ") << u"cdsz"_s << u"ĆĐŠŽ"_s << false << true;
        QTest::newRow("dj in đ") << u"dj"_s << u"đ"_s << false << false;
        QTest::newRow("muller in MÜLLER") << u"muller"_s << u"MÜLLER"_s << false << true;
        QTest::newRow("decomposed") << u"cakovec"_s << u"C\u030Cakovec"_s << false << true;
        QTest::newRow("number") << u"12,5"_s << u"12.5"_s << true << true;
        QTest::newRow("number, point") << u"12.5"_s << u"12.5"_s << true << true;
        QTest::newRow("text shows its point") << u"12,5"_s << u"12.5"_s << false << false;
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
        records[0].setValue(isNumber ? Price : Name, value.toStdString());
        t.replaceContent(std::move(records));
        QCOMPARE(findRecord(t, FindText(text.toStdString()), 0, true).has_value(), found);
    }
};

QTEST_GUILESS_MAIN(TestFind)
#include "TestFind.moc"

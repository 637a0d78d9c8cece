#include "data/Find.h"
#include "data/ProductSchema.h"

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
        row("12,5", "12.5", false, false);
        row("d.o.o", "Medika d.o.o.", false, true);
        row("abc", "xxabxabcx", false, true);
        row("kateter", "kat", false, false);
        row("", "abc", false, false);
    }

    void matching()
    {
        QFETCH(QString, text);
        QFETCH(QString, value);
        QFETCH(bool, isNumber);
        QFETCH(bool, found);
        QCOMPARE(FindText(text.toStdString()).isIn(value.toStdString(), isNumber), found);
    }

    void wrapsInBothDirections_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<int>("found"); // -1: none
        QTest::newRow("from the start on") << u"đakovo"_s << 1 << true << 1;
        QTest::newRow("past the begun record") << u"đakovo"_s << 2 << true << 4;
        QTest::newRow("forward, wrapping") << u"đakovo"_s << 5 << true << 1;
        QTest::newRow("backward, wrapping") << u"đakovo"_s << 0 << false << 4;
        QTest::newRow("backward past the begun record") << u"đakovo"_s << 3 << false << 1;
        QTest::newRow("a number") << u"2,5"_s << 0 << true << 4;
        QTest::newRow("nothing") << u"Osijek"_s << 0 << true << -1;
    }

    void wrapsInBothDirections()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(bool, forward);
        QFETCH(int, found);
        Table t(productSchema());
        std::vector<Record> rows(5, Record(ProductFieldCount));
        rows[1].setValue(Dobavljac, "Salus Đakovo");
        rows[3].setValue(Dobavljac, "Đakovo d.o.o.");
        rows[3].setValue(Cijena, "2.5");
        t.replaceContent(std::move(rows));
        t.moveTo(2);
        t.insert(); // a begun record at row 2, which is never found
        t.setText(Dobavljac, "Đakovo");
        const auto row = findRecord(t, FindText(text.toStdString()), std::size_t(start), forward);
        QCOMPARE(row ? int(*row) : -1, found);
    }
};

QTEST_GUILESS_MAIN(TestFind)
#include "TestFind.moc"

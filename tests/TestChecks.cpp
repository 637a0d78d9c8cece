#include "data/Checks.h"

#include <QTest>

using namespace data;

namespace {

// A record from "tariff|name|catalogue|currency|quantity|price" (numbers in stored form).
Record product(std::string_view line)
{
    Record r(ProductFieldCount);
    const ProductField fields[] = {Tar_br, Naziv, Gen_ime, Valuta, Kolicina, Cijena};
    for (ProductField f : fields) {
        const std::size_t bar = std::min(line.find('|'), line.size());
        r.setValue(f, line.substr(0, bar));
        line.remove_prefix(std::min(bar + 1, line.size()));
    }
    return r;
}

QString reason(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

class TestChecks : public QObject {
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("warning"); // a word of the reason; empty: none
        const auto row = [](const char *name, ProductField f, const char *value, const char *w) {
            QTest::newRow(name) << int(f) << QString::fromUtf8(value) << QString::fromUtf8(w);
        };
        row("CN code", Tar_br, "30049000", "");
        row("TARIC code", Tar_br, "3004900010", "");
        row("spaced", Tar_br, "3004 90 00", "");
        row("dotted", Tar_br, "3004.90.00", "");
        row("no tariff", Tar_br, "", "nije upisan");
        row("digit missing", Tar_br, "3004900", "znamenaka");
        row("nine digits", Tar_br, "300490001", "znamenaka");
        row("dash", Tar_br, "3004-90-00", "znamenaka");
        row("leading space", Tar_br, " 30049000", "znamenaka");
        row("no ATC", ATK, "", "");
        for (const char *code : {"A", "A10", "A10B", "A10BA", "A10BA02", "V03AN01"})
            row(code, ATK, code, "");
        row("digit for letter", ATK, "N2BA01", "obliku");
        row("six long", ATK, "A10BA0", "obliku");
        row("E group", ATK, "E10BA02", "skupine");
        row("lower case ATC", ATK, "a10", "skupine");
        row("EUR", Valuta, "EUR", "");
        row("CHF", Valuta, "CHF", "");
        row("no currency", Valuta, "", "nije upisana");
        row("HRK", Valuta, "HRK", "HRK");
        row("hrk", Valuta, "hrk", "HRK");
        row("eur", Valuta, "eur", "velikim");
        row("BGN", Valuta, "BGN", "ISO 4217");
        row("XYZ", Valuta, "XYZ", "ISO 4217");
        row("no quantity", Kolicina, "", "nije upisana");
        row("zero quantity", Kolicina, "0", "veća od nule");
        row("negative quantity", Kolicina, "-2", "veća od nule");
        row("quantity", Kolicina, "0.5", "");
        row("no price", Cijena, "", "nije upisana");
        row("free", Cijena, "0", "");
        row("negative price", Cijena, "-0.01", "negativna");
    }

    void rules()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QString, warning);
        const QString got =
            reason(questionValue(static_cast<ProductField>(field), value.toStdString()));
        QCOMPARE(got.isEmpty(), warning.isEmpty());
        QVERIFY2(got.contains(warning), qPrintable(got));
    }

    void warningsFollowCommitsAndDeletions()
    {
        Table t(productSchema());
        t.replaceContent({product("30049000|X|K|EUR|1|2"), product("30049000|Y|K|EUR|1|2"),
                          product("30049000|X|K|HRK|1|2")});
        Checks checks(t);
        QCOMPARE(checks.warnedRecordCount(), 2u); // a duplicate pair, one also in kuna
        QCOMPARE(reason(checks.warning(0, Naziv)), reason(duplicateReason));
        QVERIFY(!checks.warning(1, Naziv));

        // Typed but not committed: nothing changes until the commit.
        t.moveTo(1);
        t.edit();
        t.setText(Naziv, "X");
        QCOMPARE(checks.warnedRecordCount(), 2u);
        t.post();
        QCOMPARE(checks.warnedRecordCount(), 3u);
        QVERIFY(checks.warning(1, Naziv));

        // A begun record is not checked, and the rows after it keep their warnings.
        t.first();
        t.insert();
        QVERIFY(!checks.hasWarning(0));
        QVERIFY(checks.warning(3, Valuta));
        t.setText(Naziv, "Z");
        t.post();
        QCOMPARE(checks.warnedRecordCount(), 4u); // Z lacks its tariff, quantity, ...

        t.moveTo(1);
        t.remove();
        t.remove();
        QCOMPARE(checks.warnedRecordCount(), 2u); // Z, and the kuna no longer a duplicate
        QVERIFY(!checks.warning(1, Naziv));
        QVERIFY(checks.warning(1, Valuta));

        t.replaceContent({product("3004 90 00|X|K|EUR|1|2"), product("30049000|X|K|EUR|1|2")});
        QCOMPARE(checks.warnedRecordCount(), 2u);
    }

    void moveToWarningWrapsAndCommits()
    {
        Table t(productSchema());
        t.replaceContent({product("30049000|A|K|EUR|1|2"), product("|B|K|EUR|1|2"),
                          product("30049000|C|K|EUR|1|2"), product("30049000|D|K|eur|1|2")});
        Checks checks(t);
        moveToWarning(t, checks, true);
        QCOMPARE(t.currentRow(), 1u);
        moveToWarning(t, checks, true);
        QCOMPARE(t.currentRow(), 3u);
        moveToWarning(t, checks, true);
        QCOMPARE(t.currentRow(), 1u);
        moveToWarning(t, checks, false);
        QCOMPARE(t.currentRow(), 3u);

        // The pending change is committed first: the fixed record is no longer a target.
        t.moveTo(1);
        t.edit();
        t.setText(Tar_br, "30049000");
        moveToWarning(t, checks, false);
        QCOMPARE(t.state(), TableState::Browse);
        QCOMPARE(t.currentRow(), 3u);
        moveToWarning(t, checks, false);
        QCOMPARE(t.currentRow(), 3u); // the only one left
        QCOMPARE(checks.warnedRecordCount(), 1u);
    }
};

QTEST_GUILESS_MAIN(TestChecks)
#include "TestChecks.moc"

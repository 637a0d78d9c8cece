#include "data/Checks.h"

#include <QTest>

#include <map>
#include <random>

using namespace data;

namespace {

// A record from "tariff|name|catalogue|currency|quantity|price" (numbers in stored form).
Record product(std::string_view line)
{
    Record r(ProductFieldCount);
    const ProductField fields[] = {TariffNumber, Name, CatalogueNumber, Currency, Quantity, Price};
    for (ProductField f : fields) {
        const std::size_t bar = std::min(line.find('|'), line.size());
        r.setValue(f, line.substr(0, bar));
        line.remove_prefix(std::min(bar + 1, line.size()));
    }
    return r;
}

// Whether the checks agree with a count from scratch, every record committed.
bool agreesWithRecount(const Table &t, const Checks &checks)
{
    const auto keyOf = [&](std::size_t row) {
        std::string tariff = t.text(row, TariffNumber);
        std::erase_if(tariff, [](char c) { return c == ' ' || c == '.'; });
        return tariff + '|' + t.text(row, Name) + '|' + t.text(row, CatalogueNumber);
    };
    std::map<std::string, int> keys;
    for (std::size_t row = 0; row < t.rowCount(); ++row)
        keys[keyOf(row)] += t.text(row, Name).empty() ? 0 : 1;
    std::size_t warned = 0;
    for (std::size_t row = 0; row < t.rowCount(); ++row) {
        const bool duplicate = keys[keyOf(row)] > 1 && !t.text(row, Name).empty();
        if (duplicate != (checks.warning(row, Name) == duplicateReason))
            return false;
        bool warning = duplicate;
        for (std::size_t f = 0; f < ProductFieldCount; ++f)
            warning = warning || questionValue(ProductField(f), t.storedValue(row, f));
        if (warning != checks.hasWarning(row))
            return false;
        warned += warning;
    }
    return warned == checks.warnedRecordCount();
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
        row("TARIC code", TariffNumber, "3004900010", "");
        row("spaced", TariffNumber, "3004 90 00", "");
        row("dotted", TariffNumber, "3004.90.00", "");
        row("no tariff", TariffNumber, "", "nije upisan");
        row("digit missing", TariffNumber, "3004900", "znamenaka");
        row("spaced, digit missing", TariffNumber, "3004 90 0", "znamenaka");
        for (const char *v : {"9018-90-84", "9018,90,84", "9018\u00A090\u00A084", "9018  90 84",
                              "3004 9O 00", "3004 90 00 ."})
            row(v, TariffNumber, v, "samo znamenke");
        for (const char *v : {" 90189084", "90189084 ", "\u00A090189084", "90189084\u202F"})
            row(v, TariffNumber, v, "razmak na početku ili na kraju");
        row("chapter 00", TariffNumber, "00.01 10 00", "poglavljem");
        row("chapter 77", TariffNumber, "7700000000", "poglavljem");
        row("chapter 07", TariffNumber, "07070000", "");
        row("chapter 70", TariffNumber, "7000000000", "");
        row("no ATC", ClassificationCode, "", "");
        for (const char *code : {"A", "A10", "A10B", "A10BA", "A10BA02", "V03AN01"})
            row(code, ClassificationCode, code, "");
        row("digit for letter", ClassificationCode, "N2BA01", "obliku");
        row("E group", ClassificationCode, "E10BA02", "skupine");
        row("lower case", ClassificationCode, "n02be01", "velikim slovima");
        row("lower case letter", ClassificationCode, "A10bA02", "velikim slovima");
        row("lower case, no code", ClassificationCode, "e10ba02", "skupine");
        row("ATCvet", ClassificationCode, "QJ01CA04", "ATCvet");
        row("ATCvet group I", ClassificationCode, "QI07AA", "ATCvet");
        row("ATCvet, lower case", ClassificationCode, "qj01ca04", "velikim slovima");
        row("Q alone", ClassificationCode, "Q", "skupine");
        row("EUR", Currency, "EUR", "");
        row("no currency", Currency, "", "nije upisana");
        for (const char *kuna : {"HRK", "hrk", "kn", "KN", "Kn", "kuna", "KUNA"})
            row(kuna, Currency, kuna, "Kunu (HRK)");
        row("KNA", Currency, "KNA", "ISO 4217");
        row("BGN", Currency, "BGN", "lev (BGN)");
        row("bgn", Currency, "bgn", "lev (BGN)");
        row("eur", Currency, "eur", "velikim");
        row("XYZ", Currency, "XYZ", "ISO 4217");
        row("no name", Name, "", "Zapis bez naziva neće se spremiti");
        row("name of spaces", Name, " ", "");
        row("no quantity", Quantity, "", "nije upisana");
        row("zero quantity", Quantity, "0", "veća od nule");
        row("quantity", Quantity, "0.5", "");
        row("no price", Price, "", "nije upisana");
        row("free", Price, "0", "");
        row("negative price", Price, "-0.01", "negativna");
    }

    void rules()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QString, warning);
        const QString got =
            QString::fromUtf8(questionValue(static_cast<ProductField>(field), value.toStdString()));
        QCOMPARE(got.isEmpty(), warning.isEmpty());
        QVERIFY2(got.contains(warning), qPrintable(got));
    }

    void onlyCommittedRecordsAreChecked()
    {
        Table t(productSchema());
        t.replaceContent({product("30049000|X|K|EUR|1|2"), product("30049000|Y|K|EUR|1|2"),
                          product("30049000|X|K|HRK|1|2")});
        Checks checks(t);
        QCOMPARE(checks.warnedRecordCount(), 2u); // a duplicate pair, one also in kuna
        QCOMPARE(QString::fromUtf8(checks.warning(0, Name)), QString::fromUtf8(duplicateReason));
        QVERIFY(!checks.warning(1, Name));

        // Typed but not committed: nothing changes until the commit.
        t.moveTo(1);
        t.edit();
        t.setText(Name, "X");
        QCOMPARE(checks.warnedRecordCount(), 2u);
        t.commit();
        QCOMPARE(checks.warnedRecordCount(), 3u);

        // A begun record is not checked, and the rows after it keep their warnings.
        t.first();
        t.insert();
        QVERIFY(!checks.hasWarning(0));
        QVERIFY(checks.warning(3, Currency));
        t.setText(Name, "Z");
        t.commit();
        QCOMPARE(checks.warnedRecordCount(), 4u); // Z lacks its tariff, quantity, ...
    }

    // A record without a name is dropped at the next save: it has that one warning, on its name.
    void recordWithoutNameHasOneWarning()
    {
        Table t(productSchema());
        t.replaceContent({product("3004|||HRK||"), product("3004|X|K|HRK|1|2")});
        Checks checks(t);
        QCOMPARE(QString::fromUtf8(checks.warning(0, Name)),
                 QString::fromUtf8("Zapis bez naziva neće se spremiti"));
        for (std::size_t f = 0; f < ProductFieldCount; ++f)
            QCOMPARE(checks.warning(0, f) != nullptr, f == Name);
        QVERIFY(checks.warning(1, TariffNumber) && checks.warning(1, Currency));
        QCOMPARE(checks.warnedRecordCount(), 2u);
    }

    // Records changed, added and deleted at random, many keys coming and going, so that the checks'
    // own hash table grows, collides and drops.
    void staysRightThroughRandomChanges()
    {
        Table t(productSchema());
        t.replaceContent({});
        Checks checks(t);
        std::minstd_rand random(12);
        const char *values[] = {"", "A", "B", "30049000", "3004 90 00"};
        for (int step = 0; step < 3000; ++step) {
            // Records taken back, redone or appended arrive committed, without a commit of
            // their own.
            if (random() % 8 == 0) {
                if (t.canRedo() && random() % 2)
                    t.redo();
                else if (t.canUndo() && random() % 3)
                    t.undo();
                else
                    t.appendRecords({product("30049000|A|K|EUR|1|2"), product("|B|K|eur|1|2")});
                QVERIFY2(agreesWithRecount(t, checks), qPrintable(QString::number(step)));
                continue;
            }
            if (t.rowCount() > 0 && random() % 4 == 0) {
                t.moveTo(random() % t.rowCount());
                t.remove();
                continue;
            }
            if (t.rowCount() < 40 || random() % 4 == 0)
                t.insert();
            else
                t.moveTo(random() % t.rowCount());
            t.edit();
            for (ProductField f : {TariffNumber, Name, CatalogueNumber})
                t.setText(f, values[random() % 5]);
            for (ProductField f : {Quantity, Price, Currency})
                t.setText(f, f == Currency ? "EUR" : "1");
            t.commit();
            QVERIFY2(agreesWithRecount(t, checks), qPrintable(QString::number(step)));
        }
    }

    // The record is ended before the search: its commit can make another one a duplicate.
    void moveToWarningEndsTheRecordFirst()
    {
        Table t(productSchema());
        t.replaceContent({product("30049000|A|K|EUR|1|2"), product("30049000|B|K|EUR|1|2")});
        Checks checks(t);
        t.last();
        t.edit();
        t.setText(Name, "A");
        moveToWarning(t, checks, true);
        QCOMPARE(t.currentRow(), 0u);
        // A dropped begun record stood before the record now current, which is still ahead.
        t.insert();
        moveToWarning(t, checks, true);
        QCOMPARE(t.rowCount(), 2u);
        QCOMPARE(t.currentRow(), 0u);
    }
};

QTEST_GUILESS_MAIN(TestChecks)
#include "TestChecks.moc"

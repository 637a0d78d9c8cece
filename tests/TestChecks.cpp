#include "model/Checks.h"

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
        // Each row named by its field and value.
        const auto rows = [](ProductField f, const char *w,
                             std::initializer_list<const char *> vs) {
            for (const char *v : vs)
                QTest::addRow("%s „%s”", productSchema()[f].name.c_str(), v)
                    << int(f) << QString::fromUtf8(v) << QString::fromUtf8(w);
        };
        // TARIC codes, spaced, dotted, and chapters 07 and 70 beside the ones that are none.
        rows(TariffNumber, "",
             {"3004900010", "3004 90 00", "3004.90.00", "07070000", "7000000000"});
        rows(TariffNumber, "nije upisan", {""});
        rows(TariffNumber, "znamenaka", {"3004900", "3004 90 0"});
        rows(TariffNumber, "samo znamenke",
             {"9018-90-84", "9018,90,84", "9018\u00A090\u00A084", "9018  90 84", "3004 9O 00",
              "3004 90 00 ."});
        rows(TariffNumber, "razmak na početku ili na kraju",
             {" 90189084", "90189084 ", "\u00A090189084", "90189084\u202F"});
        rows(TariffNumber, "poglavljem", {"00.01 10 00", "7700000000"});
        rows(ClassificationCode, "", {"", "A", "A10", "A10B", "A10BA", "A10BA02", "V03AN01"});
        rows(ClassificationCode, "obliku", {"N2BA01"}); // a digit for a letter
        // The E group, a lower-case code of no group, and Q alone.
        rows(ClassificationCode, "skupine", {"E10BA02", "e10ba02", "Q"});
        rows(ClassificationCode, "velikim slovima", {"n02be01", "A10bA02", "qj01ca04"});
        rows(ClassificationCode, "ATCvet", {"QJ01CA04", "QI07AA"}); // group I too
        rows(Currency, "", {"EUR"});
        rows(Currency, "nije upisana", {""});
        rows(Currency, "Kunu (HRK)", {"HRK", "hrk", "kn", "KN", "Kn", "kuna", "KUNA"});
        rows(Currency, "ISO 4217", {"KNA", "XYZ"});
        rows(Currency, "lev (BGN)", {"BGN", "bgn"});
        rows(Currency, "velikim", {"eur"});
        rows(Name, "Zapis bez naziva neće se spremiti", {""});
        rows(Name, "", {" "});
        rows(Quantity, "nije upisana", {""});
        rows(Quantity, "veća od nule", {"0"});
        rows(Quantity, "", {"0.5"});
        rows(Price, "nije upisana", {""});
        rows(Price, "", {"0"});
        rows(Price, "negativna", {"-0.01"});
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

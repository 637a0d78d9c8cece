#include "TestSupport.h"

#include "format/TextExport.h"
#include "import/RecordImport.h"
#include "model/Plural.h"
#include "model/ProductSchema.h"
#include "model/Table.h"

#include <QtTest>

using namespace textimport;
using namespace Qt::StringLiterals;

namespace {

// Rows as "line: cell|cell", one per line, then the problems as "line! reason".
QString describe(const Source &source)
{
    QStringList out;
    for (const SourceRow &row : source.rows) {
        QStringList cells;
        for (const std::string &cell : row.cells)
            cells << text(cell);
        out << QString::number(row.line) + u": "_s + cells.join(u'|');
    }
    for (const Problem &p : source.problems)
        out << QString::number(p.line) + u"! "_s + text(p.reason);
    return out.join(u'\n');
}

// A source of one row per line, cells split at '|'.
Source rowsOf(const QStringList &lines)
{
    Source source;
    for (const QString &line : lines) {
        SourceRow row{source.rows.size() + 1, {}};
        for (const QString &cell : line.split(u'|'))
            row.cells.push_back(cell.toStdString());
        source.columnCount = std::max(source.columnCount, row.cells.size());
        source.rows.push_back(std::move(row));
    }
    return source;
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

private slots:
    void split_data();
    void split();
    void exportComesBack();
    void values_data();
    void values();
    void pluralForms_data();
    void pluralForms();
    void headings_data();
    void headings();
    void headingRow_data();
    void headingRow();
    void rememberedMapping();
    void totals_data();
    void totals();
    void headingCurrency_data();
    void headingCurrency();
};

void TestImport::split_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("rows");

    QTest::newRow("semicolons, decimal commas")
        << QByteArray("a;1,5;x\r\nb;2,5;y\r\n") << u"1: a|1,5|x\n2: b|2,5|y"_s;
    QTest::newRow("commas") << QByteArray("a,b,c\nd,e,f") << u"1: a|b|c\n2: d|e|f"_s;
    QTest::newRow("tabs") << QByteArray("a\tb;c\td,e\n") << u"1: a|b;c|d,e"_s;
    QTest::newRow("empty lines, trailing newlines")
        << QByteArray("\n a;b\r\n\r\n  \nc;d\n\n") << u"2:  a|b\n5: c|d"_s;
    QTest::newRow("rows of empty cells")
        << QByteArray("a;b\n;\n \t; \n\"\";\nc;d\n;;\n") << u"1: a|b\n5: c|d"_s;
    QTest::newRow("RFC 4180 quoting") << QByteArray("\"x,\"\"y\"\"\",2\n\"two\r\nlines\",3\nz,4\n")
                                      << u"1: x,\"y\"|2\n2: two\r\nlines|3\n4: z|4"_s;
    QTest::newRow("stray quotes kept")
        << QByteArray("5\" igla,\"G21 \"b\"\" x\",1\n") << u"1: 5\" igla|G21 \"b\" x|1"_s;
    QTest::newRow("unclosed quote loses one line")
        << QByteArray("a,b\n\"c,d\ne,f\n") << u"1: a|b\n3: e|f\n2! navodnici nisu zatvoreni"_s;
    QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBFŠ;č\n") << u"1: Š|č"_s;
    QTest::newRow("Windows-1250") << QByteArray("\x8A\x61;\xE8\n") << u"1: Ša|č"_s;
}

void TestImport::split()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, rows);
    QCOMPARE(describe(readBytes(bytes.toStdString())), rows);
}

void TestImport::exportComesBack()
{
    data::Table table(data::productSchema());
    std::vector<data::Record> records;
    // A record that looks like headings or like a total comes back as well.
    const std::vector<std::vector<std::string_view>> values = {
        {"", "Naziv", "", "", "", "", "", "", "", "", "", ""},
        {"", "Ukupno:", "", "", "", "", "", "", "", "", "24", ""},
        {"3005.10", "Zavoj \"Elastik\"; sterilni", "KB-001;A", "ŠĆ01", "\"Đurđević\"", ";", "\"",
         "kom", "1.234", "EUR", "1234567.5", "P-\"\";x"},
        {"", "Gaza", "", "", "", "", "", "", "", "", "-0.5", ""},
    };
    for (const auto &v : values)
        records.emplace_back(v);
    table.replaceContent(records);
    Source source = readBytes(textexport::exportText(table));
    QVERIFY(source.exportForm);
    const ImportResult result = convert(source, guessMapping(source, {}).mapping, false);
    QVERIFY(result.problems.empty());
    QVERIFY(result.records == records);

    // Spaces at a value's ends are left out, as in every import.
    records[3].setValue(data::Name, "\u00A0Gaza ");
    table.replaceContent(records);
    source = readBytes(textexport::exportText(table));
    QCOMPARE(convert(source, guessMapping(source, {}).mapping, false).records[3].value(data::Name),
             "Gaza");

    // A value holding the export's own separator is the other one it cannot carry.
    source = readBytes("\"\";\"a\";\"b\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\"\r\n"
                       "\"\";\"a\";\"b\";\"c\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\"\r\n");
    QCOMPARE(describe(source), u"2: |a|b|c||||||||\n1! 13 vrijednosti umjesto 12 "
                               u"(vrijednost sadrži \";\"?)"_s);
}

void TestImport::values_data()
{
    QTest::addColumn<QString>("row"); // Naziv|Valuta|Cijena|Tar_br
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<int>("ungrouped");

    const auto stored = [](const char *tag, const QString &row, const QString &values,
                           int ungrouped = 0) {
        QTest::newRow(tag) << row << values << QString() << ungrouped;
    };
    const auto refused = [](const char *tag, const QString &row, const QString &problem) {
        QTest::newRow(tag) << row << QString() << problem << 0;
    };
    const QString hundred(100, u'ž');
    const QString tooLong = u"Tarifni broj: %1 znakova, a dopušteno je najviše 10 znakova"_s;
    const QString noName = u"nema naziva (zapis bez naziva ne sprema se)"_s;
    stored("typed rules", u"  a\u0001\u0085b\u00A0\tc |EUR|1 000,5"_s, u"ab\u00A0 c|EUR|1000.5|"_s);
    stored("spaces at the ends", u" \u00A0Gaza\u202F\t|EUR |\t|\u00A030049000 "_s,
           u"Gaza|EUR||30049000"_s);
    stored("control character at the end", u"Gaza \u0001|EUR||"_s, u"Gaza|EUR||"_s);
    stored("longest name", hundred + u"||"_s, hundred + u"|||"_s);
    refused("overlong", hundred + u"ž|EURO|"_s,
            u"Naziv: 101 znak, a dopušteno je najviše 100 znakova; Valuta: 4 znaka, a dopušteno "
            u"je najviše 3 znaka"_s);
    stored("tariff grouped too long", u"Gaza|||3004 90 00 00"_s, u"Gaza|||3004900000"_s, 1);
    stored("tariff dotted too long", u"Gaza|||3004.90.00.10"_s, u"Gaza|||3004900010"_s, 1);
    stored("tariff grouped, fits", u"Gaza|||3004 90 00"_s, u"Gaza|||3004 90 00"_s);
    refused("tariff with dashes", u"Gaza|||3004-90-00-00"_s, tooLong.arg(13));
    refused("tariff of 11 digits", u"Gaza|||3004 90 00 001"_s, tooLong.arg(14));
    refused("ungrouped, but no name", u"|||3004 90 00 00"_s, noName);
    refused("ambiguous", u"a||1.234"_s,
            u"Cijena: „1.234” može biti 1234 ili 1,234: upišite 1234 ili 1,234."_s);
    refused("not a number", u"a||12 kn"_s,
            u"Cijena: „12 kn” nije broj: prima se npr. 1234,56, 1.234,56 ili 1 234,56."_s);
    refused("no name", u"||5"_s, noName);
}

void TestImport::values()
{
    QFETCH(QString, row);
    QFETCH(QString, stored);
    QFETCH(QString, problem);
    QFETCH(int, ungrouped);
    const ImportResult result = convert(
        rowsOf({row}), {data::Name, data::Currency, data::Price, data::TariffNumber}, false);
    QCOMPARE(result.ungroupedTariffNumbers, std::size_t(ungrouped));
    if (problem.isEmpty()) {
        QCOMPARE(result.records.size(), std::size_t(1));
        const data::Record &r = result.records[0];
        QStringList values;
        for (std::size_t field : {data::Name, data::Currency, data::Price, data::TariffNumber})
            values << text(r.value(field));
        QCOMPARE(values.join(u'|'), stored);
    } else {
        QVERIFY(result.records.empty());
        QCOMPARE(result.problems, std::vector<Problem>({{1, problem.toStdString()}}));
    }
}

void TestImport::pluralForms_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("form");
    for (int n : {1, 21, 101, 1001})
        QTest::addRow("%d", n) << n << u"vrijednost"_s;
    for (int n : {2, 4, 22, 34, 102})
        QTest::addRow("%d", n) << n << u"vrijednosti (2)"_s;
    for (int n : {0, 5, 11, 12, 14, 20, 111, 112})
        QTest::addRow("%d", n) << n << u"vrijednosti (5)"_s;
}

void TestImport::pluralForms()
{
    QFETCH(int, n);
    QFETCH(QString, form);
    QCOMPARE(
        text(data::pluralForm(std::size_t(n), "vrijednost", "vrijednosti (2)", "vrijednosti (5)")),
        form);
}

void TestImport::headings_data()
{
    QTest::addColumn<QString>("heading");
    QTest::addColumn<int>("field"); // -1: none
    const auto rows = [](int field, std::initializer_list<const char16_t *> headings) {
        for (const char16_t *heading : headings)
            QTest::newRow(QString::fromUtf16(heading).toUtf8().constData())
                << QString::fromUtf16(heading) << field;
    };
    // Every caption and stored name; then wordings, whole or with dotted abbreviations.
    for (const data::FieldDef &def : data::productSchema()) {
        const int field = int(*data::productSchema().indexOf(def.name));
        QTest::addRow("caption %s", def.caption.c_str())
            << QString::fromStdString(def.caption) << field;
        QTest::addRow("stored %s", def.name.c_str()) << QString::fromStdString(def.name) << field;
    }
    rows(data::Name, {u" NAZIV: ", u"Naziv artikla"});
    rows(data::CatalogueNumber, {u"Kataloški br.", u"Kat. broj", u"Kat.br.", u"REF", u"Šifra",
                                 u"Šif. artikla", u"Šifra proizvođača"});
    rows(data::TariffNumber, {u"Tarifna oznaka", u"Tar. br.", u"KN oznaka", u"Carinska tarifa"});
    rows(data::ClassificationCode, {u"ATC"});
    rows(data::Unit, {u"Jed. mjere", u"J.M.", u"JM", u"JMJ", u"Jed. mj."});
    rows(data::Quantity, {u"Kol."});
    rows(data::Price,
         {u"Jedinična cijena", u"Jed. cijena", u"Cijena po jedinici", u"VPC", u"Cijena €"});
    rows(data::Manufacturer, {u"Naziv proizvođača"});
    rows(data::Importer, {u"Naziv uvoznika"});
    rows(data::Supplier, {u"Isporučitelj"});
    rows(data::Protocol, {u"Br. protokola"});
    // Every wording names its own field and no other.
    for (const auto &[field, wording] : headingWordings())
        QTest::addRow("wording %s", std::string(wording).c_str()) << text(wording) << int(field);
    // A name with words after it that name nothing else.
    rows(data::Name, {u"Naziv proizvoda"});
    rows(data::Price, {u"Cijena (EUR)"});
    rows(data::Quantity, {u"Količina (kom)"});
    rows(data::Manufacturer, {u"Proizvođač / zemlja", u"Naziv proizvođača (puni)"});
    rows(data::Supplier, {u"Naziv dobavljača i adresa"});
    // Words that name another field, or something we do not keep; two fields; nothing.
    rows(data::Importer, {u"Naziv korisnika / uvoznika"});
    rows(-1, {u"Jedinična cijena bez PDV-a", u"Cijena valute", u"Cijena ukupno", u"Ukupna cijena",
              u"Kataloški broj proizvođača", u"Naziv i jedinica mjere", u"Pro.",
              u"Šifra dobavljača", u"Broj", u"Tarifni", u"..."});
}

void TestImport::headings()
{
    QFETCH(QString, heading);
    QFETCH(int, field);
    const std::optional<std::size_t> found = fieldForHeading(heading.toStdString());
    QCOMPARE(found ? int(*found) : -1, field);
}

// "Naziv,-,Cijena": a mapping by captions, "-" for a skipped column.
QString describe(const Mapping &mapping)
{
    QStringList fields;
    for (const auto &field : mapping)
        fields << (field ? text(data::productSchema()[*field].caption) : u"-"_s);
    return fields.join(u',');
}

void TestImport::headingRow_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("headingRow"); // -1: none
    QTest::addColumn<QString>("mapping");

    const QStringList product{u"Gaza|K-1|kom|30059010|1,5"_s};
    const QString headings = u"Naziv|Šifra|JMJ|Tarifna oznaka|Cijena EUR"_s;
    const QString fields = u"Naziv,Kataloški broj,Jedinica mjere,Tarifni broj,Cijena"_s;
    QTest::newRow("first") << QStringList{headings} + product << 0 << fields;
    QTest::newRow("below a title")
        << QStringList{u"Ponuda br. 245/2025 – Medika d.d."_s, u"Datum: 3. 3. 2025.|"_s, headings} +
               product
        << 2 << fields;
    QTest::newRow("below a title naming a field")
        << QStringList{u"Dobavljač: Medika d.d."_s, headings} + product << 1 << fields;
    QTest::newRow("first, one field named of two")
        << QStringList{u" NAZIV: |Opis"_s, u"Gaza|x"_s} << 0 << u"Naziv,-"_s;
    QTest::newRow("half the cells are not enough")
        << QStringList{u"Naziv|x|y"_s, u"a|b|c"_s} << -1 << u"-,-,-"_s;
    QTest::newRow("a field named twice")
        << QStringList{u"Naziv|naziv|Cijena"_s, u"a|b|1"_s} << -1 << u"-,-,-"_s;
    QTest::newRow("below the first, one field named is not enough")
        << QStringList{u"Gaza|5"_s, u"Proizvod|"_s} << -1 << u"-,-"_s;
    QTest::newRow("below twenty rows")
        << QStringList(20, u"Ponuda"_s) + QStringList{headings} << -1 << u"-,-,-,-,-"_s;
    QTest::newRow("twelve columns without headings")
        << QStringList{QStringList(12, u"x"_s).join(u'|')} << -1
        << u"Tarifni broj,Naziv,Kataloški broj,ATK,Proizvođač,Dobavljač,Korisnik,"
           u"Jedinica mjere,Količina,Valuta,Cijena,Protokol"_s;
}

void TestImport::headingRow()
{
    QFETCH(QStringList, lines);
    QFETCH(int, headingRow);
    QFETCH(QString, mapping);
    const Source source = rowsOf(lines);
    const MappingGuess guess = guessMapping(source, {});
    QCOMPARE(guess.headerRow ? int(guess.headingRow) : -1, headingRow);
    QCOMPARE(describe(guess.mapping), mapping);
    QVERIFY(!guess.remembered);
    if (headingRow > 0) {
        // The title is neither a record nor a problem.
        const ImportResult result = convert(source, guess.mapping, true, guess.headingRow);
        QCOMPARE(result.records.size(), std::size_t(1));
        QVERIFY(result.problems.empty());
    }
}

void TestImport::rememberedMapping()
{
    const Source first = rowsOf({u"Artikl|Opis|Cijena"_s, u"Gaza|x|1"_s});
    const Source second = rowsOf({u"Ponuda"_s, u"Artikl|Opis|VPC"_s, u"Gaza|x|1"_s});
    const Mapping byHand = {data::Name, data::Protocol, data::Price};
    MappingMemory memory;
    memory.remember(headingsOf(first, 0), byHand);
    memory.remember({}, {std::nullopt, data::Name});

    MappingGuess guess = guessMapping(first, memory);
    QVERIFY(guess.remembered);
    QCOMPARE(guess.mapping, byHand);
    // Other headings get their own mapping, however alike.
    guess = guessMapping(second, memory);
    QVERIFY(!guess.remembered);
    QCOMPARE(describe(guess.mapping), u"Naziv,-,Cijena"_s);
    // Without headings, the mapping kept for the width, and only for it.
    guess = guessMapping(rowsOf({u"x|Gaza"_s}), memory);
    QVERIFY(guess.remembered);
    QCOMPARE(describe(guess.mapping), u"-,Naziv"_s);
    QCOMPARE(describe(guessMapping(rowsOf({u"x|Gaza|1"_s}), memory).mapping), u"-,-,-"_s);

    // Forgotten, or beyond capacity (the oldest first), it is offered no more.
    memory.forget(headingsOf(first, 0), 3);
    QVERIFY(!guessMapping(first, memory).remembered);
    for (std::size_t i = 0; i < MappingMemory::capacity; ++i)
        memory.remember({std::to_string(i)}, {data::Name});
    QCOMPARE(memory.entries().size(), MappingMemory::capacity);
    QVERIFY(!memory.find({}, 2));
    QCOMPARE(fieldChosenTwice({data::Name, std::nullopt, data::ClassificationCode, data::Name}),
             std::optional<std::size_t>(data::Name));
}

void TestImport::totals_data()
{
    // After the headings "Naziv|Šifra|Količina|Cijena|Iznos", the last one not mapped.
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("records");  // their names
    QTest::addColumn<QString>("totals");   // their lines
    QTest::addColumn<QString>("problems"); // their lines

    const QStringList products{u"Gaza|K-1|2|1,5|3,00"_s, u"Zavoj|K-2|4|2,25|9,00"_s,
                               u"Vata|K-3|1|0,5|0,50"_s};
    for (const QString &total :
         {u"UKUPNO"_s, u"Ukupno:"_s, u"Sveukupno"_s, u"TOTAL"_s, u"Iznos"_s, u" ukupno EUR"_s})
        QTest::addRow("%s", qPrintable(total)) << products + QStringList{total + u"||7||12,50"_s}
                                               << u"Gaza,Zavoj,Vata"_s << u"5"_s << QString();
    QTest::newRow("a product named so, with its number")
        << QStringList{u"Total Care otopina|K-9|1|3|3"_s, u"Ukupnost||1|1|1"_s}
        << u"Total Care otopina,Ukupnost"_s << QString() << QString();
    QTest::newRow("no name, the sum of the amounts") << products + QStringList{u"|||Ukupno:|12,5"_s}
                                                     << u"Gaza,Zavoj,Vata"_s << u"5"_s << QString();
    QTest::newRow("no name, the sum within a cent")
        << products + QStringList{u"||7,01||"_s, u"||6,99||"_s, u"||7,02||"_s}
        << u"Gaza,Zavoj,Vata"_s << u"5,6"_s << u"7"_s;
    QTest::newRow("no name, no sum")
        << products + QStringList{u"|K-4|3|1|3"_s} << u"Gaza,Zavoj,Vata"_s << QString() << u"5"_s;
    QTest::newRow("one number is no sum")
        << QStringList{u"Gaza|K-1|2|1,5|3,00"_s, u"||2|1,5|3,00"_s} << u"Gaza"_s << QString()
        << u"3"_s;
    // A subtotal sums its group; the grand total every product.
    QTest::newRow("subtotals") << products + QStringList{u"Međuzbroj||7||"_s,
                                                         u"Igla|K-5|10|0,1|1"_s,
                                                         u"Šprica|K-6|5|0,2|1"_s, u"||15||"_s,
                                                         u"Ukupno||22||14,50"_s}
                               << u"Gaza,Zavoj,Vata,Igla,Šprica"_s << u"5,8,9"_s << QString();
}

void TestImport::totals()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, records);
    QFETCH(QString, totals);
    QFETCH(QString, problems);
    const Source source = rowsOf(QStringList{u"Naziv|Šifra|Količina|Cijena|Iznos"_s} + lines);
    const ImportResult result = convert(
        source, {data::Name, data::CatalogueNumber, data::Quantity, data::Price, std::nullopt},
        true);
    const auto joined = [](const auto &items, auto describeOne) {
        QStringList out;
        for (const auto &item : items)
            out << describeOne(item);
        return out.join(u',');
    };
    QCOMPARE(
        joined(result.records, [](const data::Record &r) { return text(r.value(data::Name)); }),
        records);
    QCOMPARE(joined(result.totalLines, [](std::size_t line) { return QString::number(line); }),
             totals);
    QCOMPARE(joined(result.problems, [](const Problem &p) { return QString::number(p.line); }),
             problems);
}

void TestImport::headingCurrency_data()
{
    QTest::addColumn<QString>("headings");
    QTest::addColumn<QString>("currency"); // of the record without one; "" for none
    QTest::addColumn<int>("column");

    QTest::newRow("Cijena EUR") << u"Naziv|Valuta|Cijena EUR"_s << u"EUR"_s << 2;
    QTest::newRow("Cijena €") << u"Naziv|Valuta|Cijena €"_s << u"EUR"_s << 2;
    QTest::newRow("Cijena u eurima") << u"Naziv|Valuta|Cijena u eurima"_s << u"EUR"_s << 2;
    QTest::newRow("Iznos u EUR") << u"Naziv|Valuta|Cijena|Iznos u EUR"_s << u"EUR"_s << 3;
    QTest::newRow("Vrijednost USD") << u"Naziv|Vrijednost USD|Cijena"_s << u"USD"_s << 1;
    QTest::newRow("the price's first") << u"Naziv|Iznos EUR|Cijena CHF"_s << u"CHF"_s << 2;
    QTest::newRow("others disagree") << u"Naziv|Iznos EUR|Cijena|Iznos USD"_s << QString() << 0;
    QTest::newRow("no code in small letters") << u"Naziv|Valuta|Cijena usd"_s << QString() << 0;
    QTest::newRow("kuna is no longer") << u"Naziv|Valuta|Cijena HRK"_s << QString() << 0;
    QTest::newRow("not within a word") << u"NAZIV|VALUTA|KOLIČINA|CIJENA"_s << QString() << 0;
}

void TestImport::headingCurrency()
{
    QFETCH(QString, headings);
    QFETCH(QString, currency);
    QFETCH(int, column);
    const Source source = rowsOf({headings, u"Gaza"_s, u"Zavoj|GBP"_s});
    const MappingGuess guess = guessMapping(source, {});
    QVERIFY(guess.headerRow);
    const ImportResult result = convert(source, guess.mapping, true, guess.headingRow);
    QCOMPARE(result.records.size(), std::size_t(2));
    const bool currencyColumn = headings.contains(u"Valuta"_s, Qt::CaseInsensitive);
    QCOMPARE(text(result.records[0].value(data::Currency)), currency);
    // A row's own currency stays.
    QCOMPARE(text(result.records[1].value(data::Currency)), currencyColumn ? u"GBP"_s : currency);
    QCOMPARE(result.currencyFromHeading, std::size_t(currency.isEmpty() ? 0
                                                     : currencyColumn   ? 1
                                                                        : 2));
    if (!currency.isEmpty())
        QCOMPARE(int(result.headingCurrency->column), column);
    // The clerk may leave it out: with no headings, none.
    QCOMPARE(convert(source, guess.mapping, false).currencyFromHeading, std::size_t(0));
}

QTEST_GUILESS_MAIN(TestImport)
#include "TestImport.moc"

#include "data/Plural.h"
#include "data/ProductSchema.h"
#include "data/Table.h"
#include "export/TextExport.h"
#include "import/RecordImport.h"

#include <QtTest>

using namespace textimport;
using namespace Qt::StringLiterals;

namespace {

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

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
    void mappingGuess();
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
    const std::vector<std::vector<std::string_view>> values = {
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
    records[1].setValue(data::Name, "\u00A0Gaza ");
    table.replaceContent(records);
    source = readBytes(textexport::exportText(table));
    QCOMPARE(convert(source, guessMapping(source, {}).mapping, false).records[1].value(data::Name),
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

    const QString hundred(100, u'ž');
    QTest::newRow("typed rules") << u"  a\u0001\u0085b\u00A0\tc |EUR|1 000,5"_s
                                 << u"ab\u00A0 c|EUR|1000.5|"_s << QString() << 0;
    QTest::newRow("spaces at the ends") << u" \u00A0Gaza\u202F\t|EUR |\t|\u00A030049000 "_s
                                        << u"Gaza|EUR||30049000"_s << QString() << 0;
    QTest::newRow("control character at the end")
        << u"Gaza \u0001|EUR||"_s << u"Gaza|EUR||"_s << QString() << 0;
    QTest::newRow("longest name") << hundred + u"||"_s << hundred + u"|||"_s << QString() << 0;
    QTest::newRow("overlong") << hundred + u"ž|EURO|"_s << QString()
                              << u"Naziv: 101 znak, a dopušteno je najviše 100 znakova; Valuta: 4 "
                                 u"znaka, a dopušteno je najviše 3 znaka"_s
                              << 0;
    QTest::newRow("tariff grouped too long")
        << u"Gaza|||3004 90 00 00"_s << u"Gaza|||3004900000"_s << QString() << 1;
    QTest::newRow("tariff dotted too long")
        << u"Gaza|||3004.90.00.10"_s << u"Gaza|||3004900010"_s << QString() << 1;
    QTest::newRow("tariff grouped, fits")
        << u"Gaza|||3004 90 00"_s << u"Gaza|||3004 90 00"_s << QString() << 0;
    QTest::newRow("tariff with dashes") << u"Gaza|||3004-90-00-00"_s << QString()
                                        << u"Tarifni broj: 13 znakova, a dopušteno je najviše "
                                           u"10 znakova"_s
                                        << 0;
    QTest::newRow("tariff of 11 digits") << u"Gaza|||3004 90 00 001"_s << QString()
                                         << u"Tarifni broj: 14 znakova, a dopušteno je najviše "
                                            u"10 znakova"_s
                                         << 0;
    QTest::newRow("ungrouped, but no name")
        << u"|||3004 90 00 00"_s << QString() << u"nema naziva (zapis bez naziva ne sprema se)"_s
        << 0;
    QTest::newRow("ambiguous") << u"a||1.234"_s << QString()
                               << u"Cijena: „1.234” može biti 1234 ili 1,234: upišite 1234 ili 1,234."_s << 0;
    QTest::newRow("not a number") << u"a||12 kn"_s << QString() << u"Cijena: „12 kn” nije broj: prima se npr. 1234,56, 1.234,56 ili 1 234,56."_s
                                  << 0;
    QTest::newRow("no name") << u"||5"_s << QString()
                             << u"nema naziva (zapis bez naziva ne sprema se)"_s << 0;
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
    const auto row = [](const char16_t *heading, int field) {
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
    row(u" NAZIV: ", data::Name);
    row(u"Naziv artikla", data::Name);
    row(u"Kataloški br.", data::CatalogueNumber);
    row(u"Kat. broj", data::CatalogueNumber);
    row(u"Kat.br.", data::CatalogueNumber);
    row(u"REF", data::CatalogueNumber);
    row(u"Tarifna oznaka", data::TariffNumber);
    row(u"Tar. br.", data::TariffNumber);
    row(u"ATC", data::ClassificationCode);
    row(u"Jed. mjere", data::Unit);
    row(u"J.M.", data::Unit);
    row(u"JM", data::Unit);
    row(u"Kol.", data::Quantity);
    row(u"Jedinična cijena", data::Price);
    row(u"Jed. cijena", data::Price);
    row(u"Cijena po jedinici", data::Price);
    row(u"Naziv proizvođača", data::Manufacturer);
    row(u"Naziv uvoznika", data::Importer);
    row(u"Isporučitelj", data::Supplier);
    row(u"Br. protokola", data::Protocol);
    // A name with words after it that name nothing else.
    row(u"Naziv proizvoda", data::Name);
    row(u"Cijena (EUR)", data::Price);
    row(u"Količina (kom)", data::Quantity);
    row(u"Jedinična cijena bez PDV-a", -1);
    row(u"Proizvođač / zemlja", data::Manufacturer);
    row(u"Naziv proizvođača (puni)", data::Manufacturer);
    row(u"Naziv dobavljača i adresa", data::Supplier);
    // Words that name another field, or something we do not keep; two fields; nothing.
    row(u"Naziv korisnika / uvoznika", data::Importer);
    row(u"Cijena valute", -1);
    row(u"Cijena ukupno", -1);
    row(u"Ukupna cijena", -1);
    row(u"Kataloški broj proizvođača", -1);
    row(u"Naziv i jedinica mjere", -1);
    row(u"Pro.", -1);
    row(u"Šifra", -1);
    row(u"Broj", -1);
    row(u"Tarifni", -1);
    row(u"...", -1);
}

void TestImport::headings()
{
    QFETCH(QString, heading);
    QFETCH(int, field);
    const std::optional<std::size_t> found = fieldForHeading(heading.toStdString());
    QCOMPARE(found ? int(*found) : -1, field);
}

void TestImport::mappingGuess()
{
    const Mapping lastUsed = {std::nullopt, data::Price};
    const Source header =
        rowsOf({u" NAZIV: |Šifra|kataloski BROJ|Tar_br|cijena|PROIZVOĐAČ"_s, u"a|b|c|d|1|e"_s});
    const MappingGuess guess = guessMapping(header, lastUsed);
    QVERIFY(guess.headerRow);
    QCOMPARE(guess.mapping, Mapping({data::Name, std::nullopt, data::CatalogueNumber,
                                     data::TariffNumber, data::Price, data::Manufacturer}));
    QCOMPARE(convert(header, guess.mapping, true).records.size(), std::size_t(1));

    // Half the cells naming fields is not enough, nor a field named twice.
    for (const QString &first : {u"Naziv|x|y"_s, u"Naziv|naziv|Cijena"_s}) {
        const MappingGuess g = guessMapping(rowsOf({first}), lastUsed);
        QVERIFY(!g.headerRow);
        QCOMPARE(g.mapping, Mapping({std::nullopt, data::Price, std::nullopt}));
    }
    const MappingGuess twelve = guessMapping(rowsOf({QStringList(12, u"x"_s).join(u'|')}), {});
    QCOMPARE(twelve.mapping.back(), std::optional<std::size_t>(data::Protocol));
    QCOMPARE(fieldChosenTwice({data::Name, std::nullopt, data::ClassificationCode, data::Name}),
             std::optional<std::size_t>(data::Name));
}

QTEST_GUILESS_MAIN(TestImport)
#include "TestImport.moc"

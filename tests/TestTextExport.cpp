#include "data/ProductSchema.h"
#include "data/Table.h"
#include "export/TextExport.h"

#include <QTest>

#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using Values = std::vector<std::string_view>;

namespace {

// Types the records in through the table's own operations. Insert puts a record ahead of the
// current one, so they go in last first to end up in the given order.
void typeRecords(data::Table &table, std::initializer_list<Values> records)
{
    for (auto it = std::rbegin(records); it != std::rend(records); ++it) {
        table.insert();
        for (std::size_t f = 0; f < it->size(); ++f)
            table.setText(f, (*it)[f]);
        table.post();
    }
}

QByteArray bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

QByteArray exported(const data::Table &table)
{
    std::ostringstream out;
    textexport::writeExport(out, table);
    return bytes(out.str());
}

} // namespace

class TestTextExport : public QObject {
    Q_OBJECT

private slots:
    void linesByteForByte();
    void emptyTableGivesNothing();
    void recordWithOnlyAName();
    void begunRecordIsLeftOut();
    void largeTableInChunks();
};

void TestTextExport::linesByteForByte()
{
    data::Table table(data::productSchema());
    table.createDataSet();
    typeRecords(
        table,
        {
            {"3005.10", "Zavoj \"Elastik\"; sterilni", "KB-001;A", "ŠĆ01", "Đurđević d.o.o.",
             "Medika; Zagreb", "Ljekarna \"Čakovec\"", "kom", "12,5", "EUR", "1000", "P-čćđšž"},
            {"", "Štrcaljka 5 ml", "", "", "", "", "", "", "0,1", "", "", ""},
            {"9018", "Žlica", "", "", "", "", ";", "", "1000,00", "HRK", "-3,25", "\""},
        });

    const QByteArray expected = "\"3005.10\";\"Zavoj \"Elastik\"; sterilni\";\"KB-001;A\";"
                                "\"ŠĆ01\";\"Đurđević d.o.o.\";\"Medika; Zagreb\";"
                                "\"Ljekarna \"Čakovec\"\";\"kom\";\"12,5\";\"EUR\";\"1000\";"
                                "\"P-čćđšž\"\r\n"
                                "\"\";\"Štrcaljka 5 ml\";\"\";\"\";\"\";\"\";\"\";\"\";\"0,1\";"
                                "\"\";\"\";\"\"\r\n"
                                "\"9018\";\"Žlica\";\"\";\"\";\"\";\"\";\";\";\"\";\"1000\";"
                                "\"HRK\";\"-3,25\";\"\"\"\r\n";
    QCOMPARE(bytes(textexport::exportText(table)), expected);
    QCOMPARE(exported(table), expected);
    QCOMPARE(bytes(textexport::exportLine(table, 1)), expected.split('\n').at(1).chopped(1));
}

void TestTextExport::emptyTableGivesNothing()
{
    data::Table table(data::productSchema());
    table.createDataSet();
    QCOMPARE(bytes(textexport::exportText(table)), QByteArray());
    QCOMPARE(exported(table), QByteArray());
}

void TestTextExport::recordWithOnlyAName()
{
    data::Table table(data::productSchema());
    table.createDataSet();
    typeRecords(table, {{"", "Gaza"}});
    QCOMPARE(bytes(textexport::exportText(table)),
             QByteArray("\"\";\"Gaza\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\"\r\n"));
}

void TestTextExport::begunRecordIsLeftOut()
{
    data::Table table(data::productSchema());
    table.createDataSet();
    typeRecords(table, {{"", "Prvi"}, {"", "Drugi"}});
    table.last();
    table.insert();
    table.setText(data::Naziv, "Nije spremljen");
    QCOMPARE(table.rowCount(), std::size_t(3));

    const QByteArray expected =
        "\"\";\"Prvi\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\"\r\n"
        "\"\";\"Drugi\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\";\"\"\r\n";
    QCOMPARE(bytes(textexport::exportText(table)), expected);
    QCOMPARE(exported(table), expected);
}

void TestTextExport::largeTableInChunks()
{
    // Far more than one chunk of the stream writer, with lines of varying length.
    std::vector<data::Record> records;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const std::string name = "Proizvod čćđšž " + std::to_string(i);
        const std::string amount = std::to_string(i) + ".25";
        const std::vector<std::string_view> values = {"", name, "",     "", "", "",
                                                      "", "",   amount, "", "", ""};
        records.emplace_back(values);
        expected += "\"\";\"" + name + "\";\"\";\"\";\"\";\"\";\"\";\"\";\"" + std::to_string(i) +
                    ",25\";\"\";\"\";\"\"\r\n";
    }
    data::Table table(data::productSchema());
    table.replaceContent(std::move(records));

    QCOMPARE(bytes(textexport::exportText(table)), bytes(expected));
    QCOMPARE(exported(table), bytes(expected));
}

QTEST_GUILESS_MAIN(TestTextExport)
#include "TestTextExport.moc"

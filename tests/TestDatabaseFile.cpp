#include "data/AtomicFile.h"
#include "data/DatabaseFile.h"
#include "data/Error.h"
#include "data/ProductSchema.h"

#include <QtTest>

#include <array>
#include <filesystem>
#include <fstream>

using namespace data;

namespace {

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A product record from its twelve values in field order.
Record product(std::array<std::string_view, ProductFieldCount> values)
{
    return Record(values);
}

// Records as one readable line each, so a failed comparison shows where they differ.
QStringList describe(const std::vector<Record> &records)
{
    QStringList lines;
    for (const Record &r : records) {
        QStringList values;
        for (std::size_t f = 0; f < r.fieldCount(); ++f)
            values << text(r.value(f));
        lines << values.join(u'|');
    }
    return lines;
}

std::string readBytes(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string &file, const std::string &bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// A packet of the older layout around `rows`, with the given first line.
std::string olderPacket(const std::string &declaration, const std::string &rows)
{
    return declaration +
           "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
           "<FIELD attrname=\"Naziv\" fieldtype=\"string.uni\" WIDTH=\"200\"/>"
           "<FIELD attrname=\"Tar_br\" fieldtype=\"string\" WIDTH=\"10\"/>"
           "<FIELD attrname=\"Stari\" fieldtype=\"i4\"/>"
           "<FIELD attrname=\"Kolicina\" fieldtype=\"r8\"/>"
           "<FIELD attrname=\"Cijena\" fieldtype=\"r8\" SUBTYPE=\"Money\"/>"
           "</FIELDS><PARAMS LCID=\"1050\"/></METADATA><ROWDATA>" +
           rows + "</ROWDATA></DATAPACKET>";
}

} // namespace

class TestDatabaseFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void roundTrip();
    void exactShape();
    void olderPackets_data();
    void olderPackets();
    void badFiles_data();
    void badFiles();
    void truncatedAnywhere();
    void unreadableFile();

private:
    std::string path(const char *name) const
    {
        return m_dir.filePath(QString::fromLatin1(name)).toStdString();
    }
    QTemporaryDir m_dir;
};

void TestDatabaseFile::init()
{
    QVERIFY(m_dir.isValid());
}

void TestDatabaseFile::roundTrip()
{
    std::string maxName;
    for (int i = 0; i < 100; ++i)
        maxName += "ž"; // 100 code points, 200 bytes: exactly the width of Naziv
    const std::string tooLong = maxName + "čćđš";
    const std::vector<Record> rows = {
        product({"9018", "Šećer \"Kristal\" & <sol>", "KAT-1", "V07AB", "Đuro Đaković d.d.",
                 "Medika d.d.", "KBC Split", "kom", "0.1", "EUR", "1000000000000000",
                 "KLASA: 530-08/24'01"}),
        product({"", maxName, "", "", "", "", "", "", "", "", "", ""}),
        product({"", tooLong, "", "", "", "", "", "", "-3.25", "", "0.30000000000000004", "&amp;"}),
        product({"", "", "", "", "", "", "", "", "", "", "", ""}),
    };
    const std::string file = path("Baza.xml");
    writeDatabaseFile(file, productSchema(), rows);
    QCOMPARE(describe(readDatabaseFile(file, productSchema())), describe(rows));

    // The begun record is left out.
    writeDatabaseFile(file, productSchema(), rows, 1);
    QCOMPARE(describe(readDatabaseFile(file, productSchema())),
             describe({rows[0], rows[2], rows[3]}));
}

void TestDatabaseFile::exactShape()
{
    std::string packet;
    appendDataPacket(packet, productSchema(),
                     {product({"1", "A&B", "", "", "", "", "", "", "12.5", "", "", ""})});
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<DATAPACKET Version=\"2.0\">\n"
        "  <METADATA>\n"
        "    <FIELDS>\n"
        "      <FIELD attrname=\"Tar_br\" fieldtype=\"string\" WIDTH=\"10\"/>\n"
        "      <FIELD attrname=\"Naziv\" fieldtype=\"string\" WIDTH=\"100\"/>\n"
        "      <FIELD attrname=\"Gen_ime\" fieldtype=\"string\" WIDTH=\"150\"/>\n"
        "      <FIELD attrname=\"ATK\" fieldtype=\"string\" WIDTH=\"10\"/>\n"
        "      <FIELD attrname=\"Proizvodjac\" fieldtype=\"string\" WIDTH=\"150\"/>\n"
        "      <FIELD attrname=\"Dobavljac\" fieldtype=\"string\" WIDTH=\"100\"/>\n"
        "      <FIELD attrname=\"Uvoznik\" fieldtype=\"string\" WIDTH=\"100\"/>\n"
        "      <FIELD attrname=\"Jed_mjere\" fieldtype=\"string\" WIDTH=\"10\"/>\n"
        "      <FIELD attrname=\"Kolicina\" fieldtype=\"r8\"/>\n"
        "      <FIELD attrname=\"Valuta\" fieldtype=\"string\" WIDTH=\"3\"/>\n"
        "      <FIELD attrname=\"Cijena\" fieldtype=\"r8\" SUBTYPE=\"Money\"/>\n"
        "      <FIELD attrname=\"Protokol\" fieldtype=\"string\" WIDTH=\"100\"/>\n"
        "    </FIELDS>\n"
        "    <PARAMS/>\n"
        "  </METADATA>\n"
        "  <ROWDATA>\n"
        "    <ROW Tar_br=\"1\" Naziv=\"A&amp;B\" Kolicina=\"12.5\"/>\n"
        "  </ROWDATA>\n"
        "</DATAPACKET>\n";
    QCOMPARE(text(packet), text(expected));
}

void TestDatabaseFile::olderPackets_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    auto row = [](const char *tar, const char *naziv, const char *kolicina, const char *cijena) {
        return QStringLiteral("%1|%2|||||||%3||%4|")
            .arg(QString::fromUtf8(tar), QString::fromUtf8(naziv), QString::fromUtf8(kolicina),
                 QString::fromUtf8(cijena));
    };

    QTest::newRow("no declaration, any order, unknown attributes, exponent")
        << QByteArray::fromStdString(olderPacket(
               "", "<ROW Stari=\"7\" Cijena=\"1E15\" Naziv=\"Zavoj\" Tar_br=\"3005\"/>\r\n"
                   "<ROW Naziv=\"  \" Kolicina=\"2.50\"/>"))
        << QStringList{row("3005", "Zavoj", "", "1000000000000000"), row("", "  ", "2.5", "")};
    QTest::newRow("windows-1250 without a declared encoding")
        << QByteArray::fromStdString(olderPacket("<?xml version=\"1.0\" standalone=\"yes\"?>\r\n",
                                                 "<ROW Naziv=\"\x8A\x65\xE6\x65r \xE8\xF0\x9E\"/>"))
        << QStringList{row("", "Šećer čđž", "", "")};
    QTest::newRow("declared windows-1250")
        << QByteArray::fromStdString(olderPacket(
               "<?xml version=\"1.0\" encoding=\"windows-1250\"?>", "<ROW Naziv=\"\xD0uro\"/>"))
        << QStringList{row("", "Đuro", "", "")};
    QTest::newRow("utf-8 with byte order mark")
        << QByteArray::fromStdString(olderPacket("\xEF\xBB\xBF", "<ROW Naziv=\"Đuro\"/>"))
        << QStringList{row("", "Đuro", "", "")};
    QTest::newRow("references and control characters")
        << QByteArray::fromStdString(
               olderPacket("", "<ROW Naziv=\"a&#9;b&#x0A;c&#1;d&apos;&lt;\te\r\nf\"/>"))
        << QStringList{row("", "a b cd'< e f", "", "")};
    QTest::newRow("no rows") << QByteArray::fromStdString(olderPacket("", "")) << QStringList{};
}

void TestDatabaseFile::olderPackets()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(parseDataPacket(bytes.toStdString(), productSchema(), "Baza.xml")), expected);
}

void TestDatabaseFile::badFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");

    auto bad = [](const char *name, const std::string &bytes, const char *message) {
        QTest::newRow(name) << QByteArray::fromStdString(bytes) << QString::fromUtf8(message);
    };
    const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    bad("empty", "", "(redak 1): datoteka je prazna");
    bad("not xml", "Naziv;Cijena\n", "(redak 1): nije XML");
    const std::string twoRows = decl + olderPacket("", "\n<ROW Naziv=\"a\"/>\n<ROW Naziv=\"b\"/>");
    bad("truncated", twoRows.substr(0, twoRows.find("Naziv=\"b") + 3),
        "(redak 4): datoteka je nepotpuna");
    bad("wrong root", decl + "<html>\n</html>", "(redak 2): korijenski element nije DATAPACKET");
    bad("mismatched tags", decl + "<DATAPACKET>\n<ROWDATA></METADATA></DATAPACKET>",
        "(redak 3): završna oznaka ne odgovara početnoj");
    bad("two roots", decl + olderPacket("", "") + "\n" + olderPacket("", ""),
        "(redak 3): datoteka ima više korijenskih elemenata");
    bad("not a number", olderPacket("", "<ROW Naziv=\"a\"/>\n<ROW Kolicina=\"x\"/>"),
        "(redak 2): vrijednost 'x' polja Kolicina nije broj");
    bad("infinite", olderPacket("", "<ROW Cijena=\"1e999\"/>"),
        "(redak 1): vrijednost '1e999' polja Cijena nije broj");
    bad("decimal comma", olderPacket("", "<ROW Cijena=\"12,5\"/>"),
        "(redak 1): vrijednost '12,5' polja Cijena nije broj");
    std::string changeLog = olderPacket("", "");
    changeLog.replace(changeLog.find("LCID"), 4, "CHANGE_LOG=\"1 0 4\" LCID");
    bad("change log", decl + changeLog, "(redak 2): datoteka sadrži nespojene promjene");
    bad("row state", olderPacket("", "\n<ROW RowState=\"4\" Naziv=\"a\"/>"),
        "(redak 2): datoteka sadrži nespojene promjene");
    bad("invalid utf-8 declared", decl + olderPacket("", "\n<ROW Naziv=\"\x9A\"/>"),
        "(redak 3): tekst nije ispravno kodiran (UTF-8)");
    bad("unknown encoding", olderPacket("<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>", ""),
        "(redak 1): nepoznato kodiranje znakova 'ISO-8859-2'");
    bad("bad reference", olderPacket("", "<ROW Naziv=\"Johnson & Johnson\"/>"),
        "(redak 1): neispravna oznaka znaka u vrijednosti polja Naziv");
    bad("NUL reference", olderPacket("", "<ROW Naziv=\"a&#0;b\"/>"),
        "(redak 1): neispravna oznaka znaka u vrijednosti polja Naziv");
    bad("number field as text",
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"Kolicina\" fieldtype=\"string\"/>"
        "</FIELDS></METADATA><ROWDATA/></DATAPACKET>",
        "(redak 1): polje Kolicina ima neočekivanu vrstu 'string'");
    bad("foreign table",
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"Ime\" fieldtype=\"string\"/>"
        "</FIELDS></METADATA><ROWDATA/></DATAPACKET>",
        "(redak 1): datoteka ne opisuje nijedno polje ove tablice");
    bad("no rowdata",
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"Naziv\" fieldtype=\"string\"/>"
        "</FIELDS></METADATA></DATAPACKET>",
        "(redak 1): nedostaje element ROWDATA");
    bad("repeated attribute", olderPacket("", "<ROW Naziv=\"a\" Naziv=\"b\"/>"),
        "(redak 1): atribut Naziv se ponavlja");
    bad("not a row", olderPacket("", "<ROW Naziv=\"a\"/>\n<RED Naziv=\"b\"/>"),
        "(redak 2): neočekivani element RED");
}

void TestDatabaseFile::badFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const std::string file = path("Baza.xml");
    writeBytes(file, bytes.toStdString());
    try {
        readDatabaseFile(file, productSchema());
        QFAIL("accepted");
    } catch (const Error &e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("Datoteka \"%1\" nije ispravna %2").arg(text(file), message));
    }
    QCOMPARE(QByteArray::fromStdString(readBytes(file)), bytes);
}

void TestDatabaseFile::truncatedAnywhere()
{
    // A file cut short at any byte is refused, never read as fewer records.
    std::string packet;
    appendDataPacket(packet, productSchema(),
                     {product({"1", "Šećer & sol", "", "", "", "", "", "", "12.5", "", "", ""}),
                      product({"2", "Zavoj", "", "", "", "", "", "", "", "", "3", ""})});
    const std::size_t complete = packet.find_last_of('>') + 1;
    int incomplete = 0;
    for (std::size_t cut = 0; cut < complete; ++cut) {
        try {
            parseDataPacket(std::string_view(packet).substr(0, cut), productSchema(), "Baza.xml");
            QFAIL(qPrintable(QStringLiteral("accepted when cut at %1").arg(cut)));
        } catch (const Error &e) {
            incomplete += std::string_view(e.what()).ends_with("datoteka je nepotpuna");
        }
    }
    // Nearly every cut is named as such; the few others fall where the rest still parses as
    // something else (an empty file, a half-written name).
    QVERIFY2(incomplete > static_cast<int>(complete) * 9 / 10,
             qPrintable(QString::number(incomplete)));
    QCOMPARE(parseDataPacket(packet.substr(0, complete), productSchema(), "Baza.xml").size(),
             std::size_t(2));
}

void TestDatabaseFile::unreadableFile()
{
    const std::string missing = path("Nema.xml");
    try {
        readDatabaseFile(missing, productSchema());
        QFAIL("read a missing file");
    } catch (const Error &e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("Datoteku \"%1\" nije moguće pročitati: Nema takve datoteke ili "
                                "direktorija")
                     .arg(text(missing)));
    }
    QVERIFY(!std::filesystem::exists(missing));
}

QTEST_GUILESS_MAIN(TestDatabaseFile)
#include "TestDatabaseFile.moc"

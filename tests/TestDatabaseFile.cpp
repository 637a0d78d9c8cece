#include "TestSupport.h"

#include "format/DatabaseFile.h"
#include "format/PacketReading.h"
#include "format/TextExport.h"
#include "model/Encoding.h"
#include "model/ProductSchema.h"
#include "model/Table.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/NativeFile.h"
#include "platform/Process.h"
#include "platform/SystemReason.h"

#include <QtTest>

#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <thread>
#else
#include <sys/stat.h>
#endif

using namespace data;
using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(data::WriteStep)

namespace {

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

std::string readBytes(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

// What `read` gives, the quick way or the parser's: the records, one line each, or the error.
template <typename Read> QStringList outcome(bool quick, Read read)
{
    setRowScannerForTesting(quick);
    QStringList got;
    try {
        got = describe(read());
    } catch (const Error &e) {
        got = {u"error: "_s + QString::fromUtf8(e.what())};
    }
    setRowScannerForTesting(true);
    return got;
}
QStringList outcome(std::string_view bytes, bool quick)
{
    return outcome(quick, [&] { return parseDataPacket(bytes, productSchema(), "Baza.xml"); });
}

QStringList entries(const fs::path &folder)
{
    QStringList names;
    for (const fs::directory_entry &e : fs::directory_iterator(folder))
        names << QString::fromStdString(e.path().filename().string());
    names.sort();
    return names;
}

} // namespace

// The database file: its encodings, its reader and writer, and the safe replacing of a file.
class TestDatabaseFile : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_folder = fs::path(m_dir->path().toStdString());
    }
    void cleanup()
    {
        setWriteFailureForTesting(std::nullopt);
        setWriteHoldForTesting({});
        setNamedTemporaryForTesting(false);
    }

    void utf8Validation_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("invalidAt"); // -1: valid

        QTest::newRow("croatian") << QByteArray("čćđšž ČĆĐŠŽ") << -1;
        QTest::newRow("four bytes") << QByteArray("x\xF0\x9F\x92\x8Ay") << -1;
        QTest::newRow("long ascii then bad") << QByteArray("0123456789abcdef\xFF") << 16;
        QTest::newRow("lone continuation") << QByteArray("ab\x80") << 2;
        QTest::newRow("overlong two") << QByteArray("\xC0\xAF") << 0;
        QTest::newRow("overlong three") << QByteArray("a\xE0\x80\xAF") << 1;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << 0;
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << 0;
        QTest::newRow("cut at end") << QByteArray("ok\xC4") << 2;
        QTest::newRow("windows-1250 š") << QByteArray("Ko\x9A\x61ra") << 2;
    }

    void utf8Validation()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, invalidAt);
        const std::string s = input.toStdString();
        const std::size_t at = data::invalidUtf8Offset(s);
        QCOMPARE(at == std::string_view::npos ? -1 : static_cast<int>(at), invalidAt);
    }

    void controlCharacters_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("clean");

        QTest::newRow("tab cr lf") << QByteArray("a\tb\r\nc") << QByteArray("a b  c");
        QTest::newRow("other C0 and DEL") << QByteArray("\x01x\x1Fy\x7F", 5) << QByteArray("xy");
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << QByteArray("ab");
        QTest::newRow("C1") << QByteArray("a\xC2\x85\x62\xC2\x9F") << QByteArray("ab");
        QTest::newRow("U+FFFE and U+FFFF")
            << QByteArray("x\xEF\xBF\xBEy\xEF\xBF\xBF") << QByteArray("xy");
        QTest::newRow("U+FFFD stays") << QByteArray("x\xEF\xBF\xBD") << QByteArray("x\xEF\xBF\xBD");
        QTest::newRow("NBSP and degree stay") << QByteArray("5\u00A0°C") << QByteArray("5\u00A0°C");
    }

    void controlCharacters()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, clean);
        const std::string s = input.toStdString();
        QCOMPARE(QByteArray::fromStdString(data::sanitizeText(s)), clean);
        QCOMPARE(data::isCleanText(s), input == clean);
    }

    void roundTrip()
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
            product(
                {"", tooLong, "", "", "", "", "", "", "-3.25", "", "0.30000000000000004", "&amp;"}),
        };
        const std::string file = path("Baza.xml");
        writeDatabaseFile(file, productSchema(), rows);
        QCOMPARE(describe(readDatabaseFile(file, productSchema())), describe(rows));
    }

    void exactShape()
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

    void olderPackets_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");

        auto row = [](const char *tar, const char *naziv, const char *kolicina,
                      const char *cijena) {
            return u"%1|%2|||||||%3||%4|"_s.arg(QString::fromUtf8(tar), QString::fromUtf8(naziv),
                                                QString::fromUtf8(kolicina),
                                                QString::fromUtf8(cijena));
        };

        QTest::newRow("no declaration, any order, unknown attributes, exponent")
            << QByteArray::fromStdString(olderPacket(
                   "", "<ROW Stari=\"7\" Cijena=\"1E15\" Naziv=\"Zavoj\" Tar_br=\"3005\"/>\r\n"
                       "<ROW Naziv=\"  \" Kolicina=\"2.50\"/>"))
            << QStringList{row("3005", "Zavoj", "", "1000000000000000"), row("", "  ", "2.5", "")};
        QTest::newRow("windows-1250 without a declared encoding")
            << QByteArray::fromStdString(
                   olderPacket("<?xml version=\"1.0\" standalone=\"yes\"?>\r\n",
                               "<ROW Naziv=\"\x8A\x65\xE6\x65r \xE8\xF0\x9E\"/>"))
            << QStringList{row("", "Šećer čđž", "", "")};
        QTest::newRow("declared windows-1250")
            << QByteArray::fromStdString(
                   olderPacket("<?xml version=\"1.0\" encoding=\"windows-1250\"?>",
                               "<ROW Naziv=\"\xD0uro \xC8\xC6\x8A\x8E \x80 \x81\"/>"))
            << QStringList{row("", "Đuro ČĆŠŽ € \uFFFD", "", "")};
        QTest::newRow("utf-8 with byte order mark")
            << QByteArray::fromStdString(olderPacket("\xEF\xBB\xBF", "<ROW Naziv=\"Đuro\"/>"))
            << QStringList{row("", "Đuro", "", "")};
        QTest::newRow("references and control characters")
            << QByteArray::fromStdString(
                   olderPacket("", "<ROW Naziv=\"a&#9;b&#x0A;c&#1;d&apos;&lt;\te\r\nf\"/>"))
            << QStringList{row("", "a b cd'< e f", "", "")};
        const std::string tiny = "0." + std::string(323, '0');
        QTest::newRow("a number below the smallest double")
            << QByteArray::fromStdString(olderPacket("", "<ROW Cijena=\"" + tiny + "3\"/>"))
            << QStringList{row("", "", "", (tiny + "5").c_str())};
        QTest::newRow("no rows") << QByteArray::fromStdString(olderPacket("", "")) << QStringList{};
    }

    void olderPackets()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QCOMPARE(describe(parseDataPacket(bytes.toStdString(), productSchema(), "Baza.xml")),
                 expected);
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");

        auto bad = [](const char *name, const std::string &bytes, const char *message) {
            QTest::newRow(name) << QByteArray::fromStdString(bytes) << QString::fromUtf8(message);
        };
        const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        bad("empty", "", "(redak 1): datoteka je prazna");
        bad("not xml", "Naziv;Cijena\n", "(redak 1): nije XML");
        const std::string twoRows =
            decl + olderPacket("", "\n<ROW Naziv=\"a\"/>\n<ROW Naziv=\"b\"/>");
        bad("truncated", twoRows.substr(0, twoRows.find("Naziv=\"b") + 3),
            "(redak 4): datoteka je nepotpuna");
        bad("wrong root", decl + "<html>\n</html>",
            "(redak 2): korijenski element nije DATAPACKET");
        bad("mismatched tags", decl + "<DATAPACKET>\n<ROWDATA></METADATA></DATAPACKET>",
            "(redak 3): završna oznaka ne odgovara početnoj");
        bad("two roots", decl + olderPacket("", "") + "\n" + olderPacket("", ""),
            "(redak 3): datoteka ima više korijenskih elemenata");
        bad("not a number", olderPacket("", "<ROW Naziv=\"a\"/>\n<ROW Kolicina=\"x\"/>"),
            "(redak 2): vrijednost „x” polja Kolicina nije broj");
        std::string changeLog = olderPacket("", "");
        changeLog.replace(changeLog.find("LCID"), 4, "CHANGE_LOG=\"1 0 4\" LCID");
        bad("change log", decl + changeLog, "(redak 2): datoteka sadrži nespojene promjene");
        const std::string vanishing = "0." + std::string(400, '0') + "1";
        bad("number too small for a double", olderPacket("", "<ROW Cijena=\"" + vanishing + "\"/>"),
            ("(redak 1): vrijednost „" + vanishing + "” polja Cijena nije broj").c_str());
        bad("row state", olderPacket("", "\n<ROW RowState=\"4\" Naziv=\"a\"/>"),
            "(redak 2): datoteka sadrži nespojene promjene");
        bad("invalid utf-8 declared", decl + olderPacket("", "\n<ROW Naziv=\"\x9A\"/>"),
            "(redak 3): tekst nije ispravno kodiran (UTF-8)");
        bad("unknown encoding", olderPacket("<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>", ""),
            "(redak 1): nepoznato kodiranje znakova „ISO-8859-2”");
        bad("bad reference", olderPacket("", "<ROW Naziv=\"Johnson & Johnson\"/>"),
            "(redak 1): neispravna oznaka znaka u vrijednosti polja Naziv");
        bad("NUL reference", olderPacket("", "<ROW Naziv=\"a&#0;b\"/>"),
            "(redak 1): neispravna oznaka znaka u vrijednosti polja Naziv");
        bad("number field as text",
            "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"Kolicina\" fieldtype=\"string\"/>"
            "</FIELDS></METADATA><ROWDATA/></DATAPACKET>",
            "(redak 1): polje Kolicina ima neočekivanu vrstu „string”");
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
        // Rows nobody would read, lost at the next save.
        std::string twoSections = olderPacket("", "<ROW Naziv=\"a\"/>");
        twoSections.insert(twoSections.find("</DATAPACKET>"),
                           "\n<ROWDATA><ROW Naziv=\"b\"/></ROWDATA>");
        bad("two row sections", twoSections, "(redak 2): element ROWDATA se ponavlja");
        std::string emptyFirst = olderPacket("", "<ROW Naziv=\"a\"/>");
        emptyFirst.insert(emptyFirst.find("<ROWDATA>"), "<ROWDATA/>\n");
        bad("empty row section first", emptyFirst, "(redak 2): element ROWDATA se ponavlja");
        bad("text after the packet", olderPacket("", "<ROW Naziv=\"a\"/>") + "\n\nx",
            "(redak 3): iza kraja paketa ima još sadržaja");
        bad("comment after the packet", olderPacket("", "") + "\n<!-- -->\n",
            "(redak 2): iza kraja paketa ima još sadržaja");
    }

    void badFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const std::string file = path("Baza.xml");
        std::ofstream(file, std::ios::binary) << bytes.toStdString();
        QCOMPARE(errorOf([&] { readDatabaseFile(file, productSchema()); }),
                 u"Datoteka „%1” nije ispravna %2"_s.arg(text(file), message));
        QCOMPARE(QByteArray::fromStdString(readBytes(file)), bytes);
    }

    void truncatedAnywhere()
    {
        // A file cut short at any byte is refused, never read as fewer records.
        std::string packet;
        appendDataPacket(packet, productSchema(),
                         {product({"1", "Šećer & sol", "", "", "", "", "", "", "12.5", "", "", ""}),
                          product({"2", "Zavoj", "", "", "", "", "", "", "", "", "3", ""})});
        const std::size_t complete = packet.find_last_of('>') + 1;
        for (std::size_t cut = 0; cut < complete; ++cut) {
            QVERIFY_THROWS_EXCEPTION(Error, parseDataPacket(std::string_view(packet).substr(0, cut),
                                                            productSchema(), "Baza.xml"));
        }
        QCOMPARE(parseDataPacket(packet.substr(0, complete), productSchema(), "Baza.xml").size(),
                 std::size_t(2));
    }

    // Common files take a quicker way than the full parser; whatever the way, the records and
    // the errors are the same.
    void quickAndFullReadingAgree_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const auto add = [](const char *name, const std::string &bytes) {
            QTest::newRow(name) << QByteArray::fromStdString(bytes);
        };
        std::string written;
        appendDataPacket(written, productSchema(),
                         {product({"1", "Šećer & \"sol\" <x>", "", "", "", "", "", "", "12.5", "",
                                   "0.1", "KLASA: 1'2"}),
                          product({"", "", "", "", "", "", "", "", "", "", "", ""})});
        add("written by this program", written);
        QVERIFY(!outcome(written, true).isEmpty() && rowScannerReadLastForTesting());
        add("references", olderPacket("", "<ROW Naziv=\"a&amp;b&#x10D;&#269;&quot;&apos;\"/>"));
        add("empty values, other order, unknown and missing fields",
            olderPacket("", "<ROW Cijena=\"\" Stari=\"1\" Naziv=\"\" Tar_br=\"9\"/>"
                            "<ROW/><ROW />"));
        add("CR LF", olderPacket("<?xml version=\"1.0\"?>\r\n",
                                 "\r\n  <ROW Naziv=\"a\r\nb\rc\nd\te\"/>\r\n"));
        add("numbers", olderPacket("", "<ROW Kolicina=\"2.50\" Cijena=\"1E15\"/>"
                                       "<ROW Kolicina=\"-0\" Cijena=\"007\"/>"
                                       "<ROW Kolicina=\"123456789012345678\" Cijena=\"-0.05\"/>"
                                       "<ROW Kolicina=\"0.1000\" Cijena=\"+3\"/>"
                                       "<ROW Kolicina=\".5\" Cijena=\"5.\"/>"));
        add("quotes and spaces", olderPacket("", "<ROW\tNaziv = 'a\"b'\n Tar_br=\"1\"\n/>"));
        add("windows-1250", olderPacket("<?xml version=\"1.0\" encoding=\"windows-1250\"?>",
                                        "<ROW Naziv=\"\x8A\x65\xE6\x65r\"/>"));
        add("comment in the head", olderPacket("<!-- <ROWDATA> -->", "<ROW Naziv=\"a\"/>"));
        add("text and a comment among rows",
            olderPacket("", "x<ROW Naziv=\"a\"/><!-- --><ROW Naziv=\"b\"/>"));
        add("row with content", olderPacket("", "<ROW Naziv=\"a\"></ROW>"));
        add("no space between attributes", olderPacket("", "<ROW Naziv=\"a\"Tar_br=\"1\"/>"));
        add("truncated", written.substr(0, written.find("<ROW") + 40));
        add("bad reference", olderPacket("", "<ROW Naziv=\"a & b\"/>"));
        add("not a number", olderPacket("", "<ROW Kolicina=\"1,5\"/>"));
        add("row state", olderPacket("", "<ROW RowState=\"4\"/>"));
        add("repeated", olderPacket("", "<ROW Naziv=\"a\" Naziv=\"a\"/>"));
        add("after the packet", olderPacket("", "") + " x");
        add("NUL", olderPacket("", "<ROW Naziv=\"a") + std::string(1, '\0') + "\"/>");
    }

    void quickAndFullReadingAgree()
    {
        QFETCH(QByteArray, bytes);
        const std::string packet = bytes.toStdString();
        QCOMPARE(outcome(packet, true), outcome(packet, false));
        // Every byte spoiled in a few telling ways: the quick way never reads what the parser
        // would refuse, nor refuses what it would read.
        for (std::size_t i = 0; i < packet.size(); ++i) {
            for (char c : {'<', '>', '"', '/', '&', ' ', '\r', '\0'}) {
                std::string spoiled = packet;
                spoiled[i] = c;
                const QStringList quick = outcome(spoiled, true);
                if (quick != outcome(spoiled, false))
                    QFAIL(qPrintable(
                        u"byte %1 as %2: %3"_s.arg(i).arg(int(c)).arg(quick.join(u'\n'))));
            }
        }
    }

    // A large file is read a few megabytes at a time: rows across the seams, and a fault far
    // from the start, come out as the parser gives them.
    void largeFileReadInPieces()
    {
        std::vector<Record> rows;
        std::string name;
        for (int i = 0; i < 40000; ++i) {
            name = i % 301 ? name + (i % 2 ? "ž" : "&") : "";
            rows.push_back(product({std::to_string(i), name, "", "", "", "", "", "", "", "",
                                    std::to_string(i % 977) + ".5", "P"}));
        }
        const std::string file = path("Baza.xml");
        writeDatabaseFile(file, productSchema(), rows);
        QVERIFY(fs::file_size(file) > 3 * (std::size_t(4) << 20));
        QVERIFY(readDatabaseFile(file, productSchema()) == rows);
        QVERIFY(rowScannerReadLastForTesting());

        std::string bytes = readBytes(file);
        bytes.resize(bytes.size() - 40);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        const auto read = [&] { return readDatabaseFile(file, productSchema()); };
        const QStringList quick = outcome(true, read);
        QVERIFY(quick.value(0).endsWith(u"datoteka je nepotpuna"_s));
        QCOMPARE(quick, outcome(false, read));
    }

    // What follows the packet's end is checked to the file's last byte, across the pieces it is
    // read in: anything there refuses the file as the parser does.
    void everyByteAfterThePacketChecked()
    {
        std::string packet;
        appendDataPacket(packet, productSchema(),
                         {product({"1", "Zavoj", "", "", "", "", "", "", "", "", "3", ""})});
        const std::string file = path("Baza.xml");
        for (const std::string tail : {"<DATAPACKET/>", "<ROW", "\x9A", "x"}) {
            const std::string bytes = packet + std::string((std::size_t(5) << 20), ' ') + tail;
            std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
            QVERIFY_THROWS_EXCEPTION(Error, readDatabaseFile(file, productSchema()));
            for (std::size_t buffer : {2048, 3000, 8192}) {
                const std::string small = packet + std::string(buffer * 2, '\n') + tail;
                QVERIFY(!packet::scanPiecesForTesting(small, productSchema(), buffer));
                QVERIFY(packet::scanPiecesForTesting(small.substr(0, small.size() - tail.size()),
                                                     productSchema(), buffer));
            }
        }
    }

    // The quick reader reserves room for the rows it expects, guessed from the first ones; a
    // file that starts with empty rows must not make it ask for many times the file's size.
    void roomForRowsBoundedByTheFile()
    {
        std::vector<Record> rows(1024, Record(ProductFieldCount));
        const std::string name(300, 'n');
        for (int i = 0; i < 20000; ++i)
            rows.push_back(product({"1", name, "", "", "", "", "", "", "", "", "", ""}));
        const std::string file = path("Baza.xml");
        writeDatabaseFile(file, productSchema(), rows);
        const std::vector<Record> read = readDatabaseFile(file, productSchema());
        QVERIFY(rowScannerReadLastForTesting());
        QVERIFY(read == rows);
        QCOMPARE_LE(read.capacity() * sizeof(Record), fs::file_size(file) + 4096 * sizeof(Record));
    }

    // Records read from a file share large blocks of text: changing, removing, purging and
    // copying them never touches another record's text.
    void recordsReadFromAFileEdited()
    {
        std::vector<Record> rows;
        for (int i = 0; i < 3000; ++i)
            rows.push_back(product({std::to_string(i), i % 3 ? "Zavoj" : "", "", "", "", "", "", "",
                                    std::to_string(i) + ".5", "", "", "P"}));
        const std::string file = path("Baza.xml");
        writeDatabaseFile(file, productSchema(), rows);
        std::vector<Record> copies;
        {
            Table table(productSchema());
            readDatabase(table, file);
            copies = {table.rows()[0], table.rows()[1]};
            table.moveTo(1);
            table.edit();
            table.setText(ProductField::Name, "Gaza sterilna, 10 cm x 10 cm, duža od prije");
            table.setText(ProductField::Quantity, "7");
            table.commit();
            rows[1].setValue(ProductField::Name, "Gaza sterilna, 10 cm x 10 cm, duža od prije");
            rows[1].setValue(ProductField::Quantity, "7");
            table.moveTo(2);
            table.remove();
            table.undo();
            table.removeRecordsWithEmpty(ProductField::Name);
            std::erase_if(rows,
                          [](const Record &r) { return r.value(ProductField::Name).empty(); });
            QCOMPARE(describe(table.rows()), describe(rows));
            writeDatabase(table, file);
        }
        QCOMPARE(describe(copies),
                 describe({product({"0", "", "", "", "", "", "", "", "0.5", "", "", "P"}),
                           product({"1", "Zavoj", "", "", "", "", "", "", "1.5", "", "", "P"})}));
        QCOMPARE(describe(readDatabaseFile(file, productSchema())), describe(rows));
    }

    // Large files are written a piece at a time, byte for byte as when made whole; a failure
    // while the pieces are made leaves the old file as it was.
    void largeFilesWrittenInPieces()
    {
        Table table(productSchema());
        std::vector<Record> rows;
        for (int i = 0; i < 5000; ++i) {
            const std::string name = std::string(i % 7 ? 300 : 3, 'n') + (i % 5 ? "" : "&\"<>'");
            rows.push_back(product({std::to_string(i), name, "", "", "", "", "", "", "", "",
                                    std::to_string(i) + ".25", ""}));
        }
        table.replaceContent(rows);
        table.moveTo(7);
        table.insert(); // a begun record is in neither file
        table.setText(ProductField::Name, "novi");
        const std::string file = path("Baza.xml");
        writeDatabase(table, file);
        std::string whole;
        appendDataPacket(whole, productSchema(), table.rows(), 7);
        QVERIFY(whole.size() > writePieceSize);
        QVERIFY(readBytes(file) == whole);
        const std::string exported = path("Izvoz.txt");
        textexport::writeExportFile(exported, table);
        QVERIFY(readBytes(exported) == textexport::exportText(table));

        QVERIFY_THROWS_EXCEPTION(Error, writeFileAtomically(file, [](const PieceWriter &write) {
                                     write(std::string(writePieceSize, 'x'));
                                     throw Error("prekinuto");
                                 }));
        QVERIFY(readBytes(file) == whole);
        QCOMPARE(entries(m_folder), (QStringList{u"Baza.xml"_s, u"Izvoz.txt"_s}));

        // A piece that cannot be written stops the rest, whichever thread wrote it: three pieces,
        // the first two written beside the making of the next, the last at the end.
        for (int failing : {0, 1, 2}) {
            int written = 0;
            const PieceWriter write = [&](std::string_view piece) {
                QCOMPARE(piece.size(), writePieceSize);
                if (written++ == failing)
                    throw WriteError(file, "disk je pun");
            };
            const auto writeThreePieces = [&] {
                PieceBuffer pieces(write);
                for (std::size_t i = 0; i < 3 * writePieceSize / 1024; ++i)
                    pieces.take(std::fill_n(pieces.room(1024), 1024, 'x'));
                pieces.finish();
            };
            QVERIFY_THROWS_EXCEPTION(WriteError, writeThreePieces());
            QCOMPARE(written, failing + 1);
        }
    }

    // The new contents have no name until they are whole where the file system allows it;
    // elsewhere the name tells the computer and the process, for a later start to clean up.
    void replacesAndKeepsPermissions_data() { namedAndUnnamed(); }
    void replacesAndKeepsPermissions()
    {
        QFETCH(bool, named);
        if (!named && !hasUnnamedFiles(m_folder))
            QSKIP("no unnamed files on this file system");
        setNamedTemporaryForTesting(named);
        const fs::path file = m_folder / "Baza.xml";
        data::writeFileAtomically(file.string(), "prvi");
        QCOMPARE(readBytes(file), std::string("prvi"));

        // Windows keeps only a read-only flag, which a writable database never has.
        const fs::perms kept =
#ifdef _WIN32
            fs::status(file).permissions();
#else
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
#endif
        fs::permissions(file, kept);
        QStringList whileWriting;
        setWriteHoldForTesting([&](const std::string &) { whileWriting = entries(m_folder); });
        data::writeFileAtomically(file.string(), "drugi, duži sadržaj");
        QCOMPARE(whileWriting.size(), named ? 2 : 1);
        const QString temporary =
            u".Baza.xml.tmp-%1-%2-"_s.arg(QString::fromStdString(computerName()))
                .arg(QCoreApplication::applicationPid());
        QVERIFY2(!named || whileWriting[0].startsWith(temporary), qPrintable(whileWriting[0]));
        QCOMPARE(readBytes(file), std::string("drugi, duži sadržaj"));
        QCOMPARE(fs::status(file).permissions(), kept);
        QCOMPARE(entries(m_folder), QStringList{u"Baza.xml"_s});
    }

    void injectedFailure_data()
    {
        QTest::addColumn<WriteStep>("step");
        QTest::addColumn<bool>("oldFileExists");
        QTest::addColumn<bool>("named");
        const std::pair<const char *, WriteStep> steps[] = {{"open", WriteStep::Open},
                                                            {"write", WriteStep::Write},
                                                            {"flush", WriteStep::Flush},
                                                            {"rename", WriteStep::Rename}};
        for (const auto &[name, step] : steps) {
            for (const bool named : {false, true}) {
                const char *kind = named ? ", named" : "";
                QTest::addRow("%s%s", name, kind) << step << true << named;
                QTest::addRow("%s, no old file%s", name, kind) << step << false << named;
            }
        }
    }

    void injectedFailure()
    {
        QFETCH(data::WriteStep, step);
        QFETCH(bool, oldFileExists);
        QFETCH(bool, named);
        setNamedTemporaryForTesting(named);
        const fs::path file = m_folder / "Baza.xml";
        if (oldFileExists)
            data::writeFileAtomically(file.string(), "stari sadržaj");

        data::setWriteFailureForTesting(step);
        try {
            data::writeFileAtomically(file.string(), std::string(100000, 'x'));
            QFAIL("the write succeeded");
        } catch (const data::WriteError &e) {
            QVERIFY(!e.reason().empty());
            QCOMPARE(QString::fromUtf8(e.what()),
                     u"Datoteku „%1” nije moguće spremiti: %2"_s.arg(
                         QString::fromStdString(file.string()), QString::fromUtf8(e.reason())));
        }
        QCOMPARE(entries(m_folder), oldFileExists ? QStringList{u"Baza.xml"_s} : QStringList{});
        if (oldFileExists)
            QCOMPARE(readBytes(file), std::string("stari sadržaj"));

        // The next write, with the seam cleared, goes through.
        data::setWriteFailureForTesting(std::nullopt);
        data::writeFileAtomically(file.string(), "novi");
        QCOMPARE(readBytes(file), std::string("novi"));
    }

    void symlinkTargetReplaced_data()
    {
        namedAndUnnamed();
    }
    void symlinkTargetReplaced()
    {
        QFETCH(bool, named);
        setNamedTemporaryForTesting(named);
        fs::create_directory(m_folder / "podaci");
        const fs::path target = m_folder / "podaci" / "Baza.xml";
        const fs::path link = m_folder / "Baza.xml";
        data::writeFileAtomically(target.string(), "stari");
        std::error_code linkError;
        fs::create_symlink(fs::path("podaci") / "Baza.xml", link, linkError);
        if (linkError) // Windows gives symbolic links to administrators only
            QSKIP("no symbolic links for this user");

        data::writeFileAtomically(link.string(), "novi");
        QVERIFY(fs::is_symlink(link));
        QCOMPARE(readBytes(target), std::string("novi"));
        QCOMPARE(entries(m_folder / "podaci"), QStringList{u"Baza.xml"_s});
    }

    // Only temporaries of this computer whose process has ended go: a running process's,
    // another computer's and anything named otherwise stay.
    void leftoverTemporariesRemoved()
    {
        QProcess ended; // this test program, listing its functions
        ended.start(QCoreApplication::applicationFilePath(), {u"-functions"_s});
        QVERIFY(ended.waitForStarted());
        const QString gone = QString::number(ended.processId());
        QVERIFY(ended.waitForFinished());
        const QString host = QString::fromStdString(computerName());
        const QString running = QString::number(QCoreApplication::applicationPid());
        const QStringList removed = {u".Baza.xml.tmp-%1-%2-0"_s.arg(host, gone),
                                     u".oporavak-ab12.xml.tmp-%1-%2-17"_s.arg(host, gone)};
        QStringList kept = {u"Baza.xml"_s,
                            u".Baza.xml.tmp-%1-%2-0"_s.arg(host, running),
                            u".Baza.xml.tmp-drugo-%1-%2-0"_s.arg(host, gone),
                            u".Baza.xml.tmp-drugo-racunalo-%1-0"_s.arg(gone),
                            u".Baza.xml.tmp%1-0"_s.arg(gone),
                            u".Baza.xml.tmp-%1-%2-0x"_s.arg(host, gone),
                            u".Baza.xml.tmp-%1-%2"_s.arg(host, gone),
                            u"Baza.xml.tmp-%1-%2-0"_s.arg(host, gone),
                            u".tmp-%1-%2-0"_s.arg(host, gone)};
        for (const QString &name : removed + kept)
            std::ofstream(m_folder / name.toStdString()) << "x";
        const QString folderNamedLikeOurs = u".Baza.xml.tmp-%1-%2-1"_s.arg(host, gone);
        fs::create_directory(m_folder / folderNamedLikeOurs.toStdString());
        kept << folderNamedLikeOurs;
        kept.sort();

        removeLeftoverTemporaries((m_folder / "Baza.xml").string());
        QCOMPARE(entries(m_folder), kept);
    }

    // A pipe without a writer would block a plain open for ever, a link to /dev/zero take all the
    // memory there is.
    void readsOnlyRegularFiles()
    {
        const fs::path folder = m_folder / "folder", large = m_folder / "large";
        fs::create_directory(folder);
        std::ofstream(large).put('x');
        fs::resize_file(large, (1ull << 30) + 1); // sparse: costs no disk
        const std::string notAFile = "nije moguće pročitati: to nije obična datoteka";
        std::vector cases{std::pair{folder, notAFile},
                          std::pair{large, std::string("nije moguće pročitati: datoteka je "
                                                       "prevelika (najviše 1024 MB)")}};
#ifdef _WIN32
        cases.emplace_back("NUL", notAFile); // the null device
#else
        const fs::path pipe = m_folder / "pipe", device = m_folder / "zero";
        QCOMPARE(::mkfifo(pipe.c_str(), 0600), 0);
        fs::create_symlink("/dev/zero", device);
        cases.emplace_back(pipe, notAFile);
        cases.emplace_back(device, notAFile);
#endif
        for (const auto &[file, reason] : cases) {
            const QString error = errorOf([&] { readWholeFile(file.string()); });
            QVERIFY2(error.endsWith(text(reason)), qPrintable(error));
        }
    }

    void systemReasons_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QString>("reason");
        QTest::newRow("EACCES") << EACCES << false << u"Pristup je odbijen"_s;
        QTest::newRow("EROFS") << EROFS << false << u"Datotečni sustav je samo za čitanje"_s;
        QTest::newRow("unknown") << 4321 << false
                                 << u"sustavska greška 4321: "_s +
                                        QString::fromStdString(
                                            std::generic_category().message(4321));
#ifdef _WIN32
        // What a clerk meets on Windows, in the words of the errno reasons where they agree.
        const std::pair<int, const char16_t *> windowsReasons[] = {
            {ERROR_ACCESS_DENIED, u"Pristup je odbijen"},
            {ERROR_SHARING_VIOLATION, u"Datoteku trenutačno koristi drugi program"},
            {ERROR_LOCK_VIOLATION, u"Dio datoteke zaključao je drugi program"},
            {ERROR_DISK_FULL, u"Nema više prostora na disku"},
            {ERROR_HANDLE_DISK_FULL, u"Nema više prostora na disku"},
            {ERROR_FILE_NOT_FOUND, u"Nema takve datoteke ili mape"},
            {ERROR_PATH_NOT_FOUND, u"Nema takve datoteke ili mape"},
            {ERROR_WRITE_PROTECT, u"Medij je zaštićen od pisanja"},
            {ERROR_NETNAME_DELETED, u"Mrežno ime više nije dostupno"},
            {ERROR_BAD_NET_NAME, u"Mrežno ime nije pronađeno"},
            {ERROR_BAD_NETPATH, u"Mrežna putanja nije pronađena"},
            {ERROR_NOT_READY, u"Uređaj nije spreman"},
            {ERROR_FILENAME_EXCED_RANGE, u"Ime datoteke je predugačko"},
        };
        for (const auto &[number, reason] : windowsReasons)
            QTest::addRow("Windows %d", number) << number << true << QString::fromUtf16(reason);
        QTest::newRow("Windows, unknown")
            << 4321 << true
            << u"sustavska greška 4321: "_s +
                   QString::fromStdString(std::system_category().message(4321));
#endif
    }

    void systemReasons()
    {
        QFETCH(int, number);
        QFETCH(bool, windows);
        const std::string reason =
            windows ? data::systemReason(std::error_code(number, std::system_category()))
                    : data::systemReason(number);
        QTEST(QString::fromStdString(reason), "reason");
        QCOMPARE(QString::fromStdString(exceptionMessage(std::bad_alloc())),
                 u"Nema dovoljno memorije"_s);
        // After a colon a reason goes on in lower case; a message of its own starts a sentence.
        QCOMPARE(std::string(WriteError("x", systemReason(EACCES)).what())
                     .substr(std::string(WriteError("x", "").what()).size()),
                 "pristup je odbijen");
        QCOMPARE(QString::fromStdString(exceptionMessage(std::logic_error("x"))),
                 u"Neočekivana greška: x"_s);
    }

#ifdef _WIN32
    // A scanner or a backup program holds the database for a moment: the read and the write wait
    // for it. One that holds it for good fails the write with a reason that says so, and the old
    // file stays.
    void aHeldFileIsWaitedFor()
    {
        const fs::path file = m_folder / "Baza.xml";
        writeFileAtomically(file.string(), "stari");
        const auto hold = [&] {
            return ::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        };
        const auto letGoSoon = [](HANDLE held) {
            return std::thread([held] {
                ::Sleep(400);
                ::CloseHandle(held);
            });
        };

        HANDLE held = hold();
        QVERIFY(held != INVALID_HANDLE_VALUE);
        std::thread letGo = letGoSoon(held);
        QCOMPARE(readWholeFile(file.string()), std::string("stari"));
        letGo.join();

        held = hold();
        letGo = letGoSoon(held);
        writeFileAtomically(file.string(), "novi");
        letGo.join();
        QCOMPARE(readBytes(file), std::string("novi"));

        held = hold();
        try {
            writeFileAtomically(file.string(), "izgubljeni");
            QFAIL("the write succeeded");
        } catch (const WriteError &e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     u"Datoteku „%1” nije moguće spremiti: datoteku trenutačno koristi drugi "
                     u"program"_s.arg(QString::fromStdString(file.string())));
        }
        ::CloseHandle(held);
        QCOMPARE(readBytes(file), std::string("novi"));
        QCOMPARE(entries(m_folder), QStringList{u"Baza.xml"_s});
    }
#endif

private:
    static void namedAndUnnamed()
    {
        QTest::addColumn<bool>("named");
        QTest::newRow("unnamed") << false;
        QTest::newRow("named") << true;
    }
    std::string path(const char *name) const
    {
        return (m_folder / name).string();
    }
    fs::path m_folder;
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestDatabaseFile)
#include "TestDatabaseFile.moc"

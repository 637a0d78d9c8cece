#include "format/DatabaseFile.h"

#include "format/PacketReading.h"
#include "model/Ascii.h"
#include "model/Encoding.h"
#include "model/NumberText.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/Path.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>

namespace data {

namespace packet {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        return lower(x) == lower(y);
    });
}

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

constexpr std::string_view utf8Bom = "\xEF\xBB\xBF";

// The encoding named by the XML declaration, if there is one; `name` gets the name as written.
DeclaredEncoding declaredEncoding(std::string_view bytes, std::string_view &name)
{
    if (bytes.starts_with(utf8Bom))
        bytes.remove_prefix(utf8Bom.size());
    if (!bytes.starts_with("<?xml") || bytes.size() < 6 || !isXmlSpace(bytes[5]))
        return DeclaredEncoding::None;
    std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    const std::size_t key = declaration.find("encoding");
    if (key == std::string_view::npos)
        return DeclaredEncoding::None;
    std::size_t i = key + 8;
    while (i < declaration.size() && isXmlSpace(declaration[i]))
        ++i;
    if (i < declaration.size() && declaration[i] == '=')
        ++i;
    while (i < declaration.size() && isXmlSpace(declaration[i]))
        ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return DeclaredEncoding::None; // a malformed declaration; the parser reports it
    const std::size_t end = declaration.find(declaration[i], i + 1);
    if (end == std::string_view::npos)
        return DeclaredEncoding::None;
    name = declaration.substr(i + 1, end - i - 1);
    if (equalsIgnoringCase(name, "UTF-8") || equalsIgnoringCase(name, "UTF8"))
        return DeclaredEncoding::Utf8;
    if (equalsIgnoringCase(name, "windows-1250") || equalsIgnoringCase(name, "cp1250") ||
        equalsIgnoringCase(name, "x-cp1250"))
        return DeclaredEncoding::Windows1250;
    return DeclaredEncoding::Other;
}

// True when an attribute value holds a reference or a byte that may start a control character
// or a noncharacter (0xC2 and 0xEF also lead harmless characters such as NBSP; those merely take
// the slower way). Written
// without branches, so that the compiler checks many bytes at once.
bool needsResolving(std::string_view value)
{
    unsigned char found = 0;
    for (char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        found |= static_cast<unsigned char>((c < 0x20) | (c == '&') | (c == 0x7F) | (c == 0xC2) |
                                            (c == 0xEF));
    }
    return found != 0;
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Reads the reference at the start of `rest` ('&' ... ';') into `out`; returns its length, or 0
// when it is not a reference XML allows.
std::size_t appendReference(std::string_view rest, std::string &out)
{
    std::size_t end = 1;
    while (end < rest.size() && rest[end] != ';' && end < 12)
        ++end;
    if (end >= rest.size() || rest[end] != ';')
        return 0;
    const std::string_view name = rest.substr(1, end - 1);
    static constexpr std::pair<std::string_view, char> named[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto &[entity, c] : named) {
        if (name == entity) {
            out.push_back(c);
            return end + 1;
        }
    }
    if (name.size() < 2 || name[0] != '#')
        return 0;
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty())
        return 0;
    char32_t cp = 0;
    for (char c : digits) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return 0;
        cp = cp * (hex ? 16 : 10) + digit;
        if (cp > 0x10FFFF)
            return 0;
    }
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    appendUtf8(out, cp);
    return end + 1;
}

// An attribute value as stored text: references resolved, a line break written as CR LF one
// break, control characters cleaned. Nothing when a reference is malformed. Points into `raw`
// when nothing changes, else into `scratch`.
std::optional<std::string_view> resolveValue(std::string_view raw, std::string &scratch)
{
    if (!needsResolving(raw))
        return raw;
    scratch.clear();
    for (std::size_t i = 0; i < raw.size();) {
        if (raw[i] == '&') {
            const std::size_t length = appendReference(raw.substr(i), scratch);
            if (length == 0)
                return std::nullopt;
            i += length;
        } else if (raw[i] == '\r') {
            scratch.push_back('\n');
            i += i + 1 < raw.size() && raw[i + 1] == '\n' ? 2 : 1;
        } else {
            scratch.push_back(raw[i++]);
        }
    }
    if (!isCleanText(scratch))
        scratch = sanitizeText(scratch);
    return scratch;
}

// True when `text` is already what storedNumberText gives for it: no sign but '-', no leading
// or trailing zero, no exponent, and at most 15 significant digits, which a double always keeps
// and no shorter text reads back to. Short, so that no tiny number loses digits or vanishes.
bool isStoredNumberForm(std::string_view text)
{
    if (text.size() > 16)
        return false;
    std::size_t i = text.starts_with('-') ? 1 : 0;
    const std::size_t intStart = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    const std::size_t intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == '0'))
        return false;
    std::size_t significant = text[intStart] == '0' ? 0 : intDigits;
    if (i < text.size()) {
        if (text[i] != '.' || i + 1 == text.size() || text.back() == '0')
            return false;
        const std::size_t fractionStart = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i != text.size())
            return false;
        std::size_t firstDigit = fractionStart;
        if (significant == 0) {
            while (text[firstDigit] == '0')
                ++firstDigit;
        }
        significant += i - firstDigit;
    } else if (intStart == 1 && text[intStart] == '0') {
        return false; // "-0" is stored as "0"
    }
    return significant <= 15;
}

// The stored form of a number attribute's text; nothing when it is not a finite number.
std::optional<std::string_view> storedNumber(std::string_view value, std::string &scratch)
{
    if (value.empty() || isStoredNumberForm(value))
        return value;
    const std::optional<double> number = parseFileNumber(value);
    if (!number)
        return std::nullopt;
    scratch = storedNumberText(*number);
    return scratch;
}

namespace {

class PacketReader {
public:
    PacketReader(std::string &buffer, const Schema &schema, const std::string &fileName)
        : m_buffer(buffer)
        , m_schema(schema)
        , m_fileName(fileName)
    {
    }

    std::vector<Record> read()
    {
        decode();
        indexLines();
        const std::size_t trailing = trailingContent();
        parse();
        const pugi::xml_node root = checkRoot();
        if (trailing != std::string_view::npos)
            fail(lineAt(trailing), "iza kraja paketa ima još sadržaja");
        checkMetadata(root);
        return readRows(rowData(root));
    }

    // Whether the buffer, everything of a packet up to and including the start tag of ROWDATA
    // with that element closed after it, is a sound head of a packet: one root DATAPACKET, field
    // definitions that fit the schema, and ROWDATA its last child. Throws Error where the full
    // reading would; false where it would read something else as ROWDATA.
    bool isSoundHead()
    {
        indexLines();
        parse();
        const pugi::xml_node root = checkRoot();
        checkMetadata(root);
        const pugi::xml_node rows = rowData(root);
        return rows == root.last_child() && !rows.first_child();
    }

private:
    [[noreturn]] void fail(std::size_t line, const std::string &what) const
    {
        throw Error("Datoteka „" + m_fileName + "” nije ispravna (redak " + std::to_string(line) +
                    "): " + what);
    }

    std::size_t lineAt(std::size_t offset) const
    {
        const auto before = std::lower_bound(m_newlines.begin(), m_newlines.end(), offset);
        return static_cast<std::size_t>(before - m_newlines.begin()) + 1;
    }

    std::size_t lineOf(const pugi::xml_node &node) const
    {
        const std::ptrdiff_t offset = node.offset_debug();
        return offset < 0 ? 1 : lineAt(static_cast<std::size_t>(offset));
    }

    static std::size_t countLines(std::string_view bytes, std::size_t end)
    {
        return static_cast<std::size_t>(std::count(bytes.begin(), bytes.begin() + end, '\n')) + 1;
    }

    // Leaves UTF-8 in the buffer: valid UTF-8 stays, undeclared other bytes are Windows-1250.
    void decode()
    {
        std::string_view name;
        const DeclaredEncoding declared = declaredEncoding(m_buffer, name);
        if (declared == DeclaredEncoding::Other)
            fail(1, "nepoznato kodiranje znakova „" + std::string(name) + "”");
        if (declared == DeclaredEncoding::Windows1250) {
            m_buffer = windows1250ToUtf8(m_buffer);
            return;
        }
        const std::size_t invalid = invalidUtf8Offset(m_buffer);
        if (invalid == std::string_view::npos)
            return;
        if (declared == DeclaredEncoding::Utf8 || std::string_view(m_buffer).starts_with(utf8Bom))
            fail(countLines(m_buffer, invalid), "tekst nije ispravno kodiran (UTF-8)");
        m_buffer = windows1250ToUtf8(m_buffer);
    }

    // The parser overwrites bytes in place, so line numbers come from where the newlines were.
    void indexLines()
    {
        const char *begin = m_buffer.data();
        const char *end = begin + m_buffer.size();
        for (const char *p = begin; p < end;) {
            const void *found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
            if (!found)
                break;
            p = static_cast<const char *>(found);
            m_newlines.push_back(static_cast<std::size_t>(p - begin));
            ++p;
        }
    }

    void parse()
    {
        std::size_t start = std::string_view(m_buffer).starts_with(utf8Bom) ? utf8Bom.size() : 0;
        while (start < m_buffer.size() && isXmlSpace(m_buffer[start]))
            ++start;
        if (start == m_buffer.size())
            fail(lineAt(start), "datoteka je prazna");
        if (m_buffer[start] != '<')
            fail(lineAt(start), "nije XML");

        // Minimal parsing: names and raw attribute values; references are resolved here, where
        // a malformed one can be refused rather than passed on.
        const std::size_t size = m_buffer.size();
        const pugi::xml_parse_result result = m_document.load_buffer_inplace(
            m_buffer.data(), size, pugi::parse_minimal, pugi::encoding_utf8);
        if (result)
            return;
        const auto offset = std::min(static_cast<std::size_t>(result.offset), size);
        const bool atEnd = offset + 1 >= size || std::string_view(m_buffer).find('>', offset + 1) ==
                                                     std::string_view::npos;
        switch (result.status) {
        case pugi::status_out_of_memory:
            throw std::bad_alloc();
        case pugi::status_no_document_element:
            fail(lineAt(offset), "nije XML");
        default:
            break;
        }
        if (atEnd)
            fail(lineAt(offset), "datoteka je nepotpuna");
        if (result.status == pugi::status_end_element_mismatch)
            fail(lineAt(offset), "završna oznaka ne odgovara početnoj");
        fail(lineAt(offset), "nije ispravan XML");
    }

    pugi::xml_node checkRoot() const
    {
        pugi::xml_node root;
        for (pugi::xml_node node : m_document.children()) {
            if (node.type() != pugi::node_element)
                continue;
            if (root)
                fail(lineOf(node), "datoteka ima više korijenskih elemenata");
            root = node;
        }
        if (std::strcmp(root.name(), "DATAPACKET") != 0)
            fail(lineOf(root), "korijenski element nije DATAPACKET");
        return root;
    }

    // Where something other than white space follows the packet's end tag; npos when nothing
    // does. Read before parsing, which writes into the buffer. The parser would pass over such
    // content, and a later save would lose it.
    std::size_t trailingContent() const
    {
        const std::string_view text(m_buffer);
        constexpr std::string_view endTag = "</DATAPACKET";
        const std::size_t tag = text.rfind(endTag);
        if (tag == std::string_view::npos)
            return std::string_view::npos; // no packet end at all: the parser says what is wrong
        std::size_t i = tag + endTag.size();
        while (i < text.size() && isXmlSpace(text[i]))
            ++i;
        if (i < text.size() && text[i] == '>')
            ++i;
        while (i < text.size() && isXmlSpace(text[i]))
            ++i;
        return i < text.size() ? i : std::string_view::npos;
    }

    // The one ROWDATA: rows in a second one would be read by no one and lost at the next save.
    pugi::xml_node rowData(const pugi::xml_node &root) const
    {
        const pugi::xml_node rows = requireChild(root, "ROWDATA");
        if (const pugi::xml_node again = rows.next_sibling("ROWDATA"))
            fail(lineOf(again), "element ROWDATA se ponavlja");
        return rows;
    }

    pugi::xml_node requireChild(const pugi::xml_node &parent, const char *name) const
    {
        const pugi::xml_node child = parent.child(name);
        if (!child)
            fail(lineOf(parent), std::string("nedostaje element ") + name);
        return child;
    }

    static bool isPlausibleType(FieldKind kind, std::string_view type)
    {
        if (kind == FieldKind::Text)
            return type == "string" || type == "string.uni";
        return type == "r8" || type == "r4" || type == "fixed" || type == "i2" || type == "i4" ||
               type == "i8";
    }

    // The file's field definitions may only confirm the program's schema, never change it.
    void checkMetadata(const pugi::xml_node &root) const
    {
        const pugi::xml_node metadata = requireChild(root, "METADATA");
        const pugi::xml_node fields = requireChild(metadata, "FIELDS");
        std::vector<bool> defined(m_schema.size());
        bool any = false;
        for (pugi::xml_node field : fields.children("FIELD")) {
            const pugi::xml_attribute name = field.attribute("attrname");
            if (!name)
                fail(lineOf(field), "element FIELD nema atribut attrname");
            const auto index = m_schema.indexOf(name.value());
            if (!index)
                continue;
            if (defined[*index])
                fail(lineOf(field), "polje " + m_schema[*index].name + " je opisano dvaput");
            defined[*index] = true;
            any = true;
            const std::string_view type = field.attribute("fieldtype").value();
            if (!isPlausibleType(m_schema[*index].kind, type))
                fail(lineOf(field), "polje " + m_schema[*index].name + " ima neočekivanu vrstu „" +
                                        std::string(type) + "”");
        }
        if (!any)
            fail(lineOf(fields), "datoteka ne opisuje nijedno polje ove tablice");
        const pugi::xml_node params = metadata.child("PARAMS");
        if (params && *params.attribute("CHANGE_LOG").value())
            fail(lineOf(params), unmergedChanges);
    }

    // The reason a row's attribute is refused, or nothing when it is taken or passed over.
    std::optional<std::string> refusal(const RowValues &row, RowValues::Taken taken) const
    {
        const auto name = [&] { return m_schema[row.field()].name; };
        switch (taken) {
        case RowValues::Taken::Value:
        case RowValues::Taken::Unknown:
            return std::nullopt;
        case RowValues::Taken::RowState:
            return unmergedChanges;
        case RowValues::Taken::Repeated:
            return "atribut " + name() + " se ponavlja";
        case RowValues::Taken::BadReference:
            return "neispravna oznaka znaka u vrijednosti polja " + name();
        case RowValues::Taken::NotANumber:
            break;
        }
        return "vrijednost „" + std::string(row.resolved()) + "” polja " + name() + " nije broj";
    }

    std::vector<Record> readRows(pugi::xml_node rowData)
    {
        RowValues values(m_schema);
        std::vector<Record> records;
        // Each row leaves the document once it is a record: the parser's memory, page by page,
        // goes back to the records being built, and the peak stays well below twice the tree.
        for (pugi::xml_node row = rowData.first_child(), next; row; row = next) {
            next = row.next_sibling();
            if (row.type() != pugi::node_element)
                continue;
            if (std::strcmp(row.name(), "ROW") != 0)
                fail(lineOf(row), "neočekivani element " + std::string(row.name()));
            values.startRow();
            for (pugi::xml_attribute a = row.first_attribute(); a; a = a.next_attribute()) {
                if (const auto why = refusal(values, values.take(a.name(), a.value())))
                    fail(lineOf(row), *why);
            }
            records.emplace_back(std::span<const std::string_view>(values.values()));
            rowData.remove_child(row);
        }
        return records;
    }

    static constexpr const char *unmergedChanges = "datoteka sadrži nespojene promjene";

    std::string &m_buffer;
    const Schema &m_schema;
    const std::string &m_fileName;
    std::vector<std::size_t> m_newlines;
    pugi::xml_document m_document;
};

std::vector<Record> parseOwned(std::string &buffer, const Schema &schema,
                               const std::string &fileName)
{
    return PacketReader(buffer, schema, fileName).read();
}

} // namespace

bool isSoundHead(std::string &packet, const Schema &schema)
{
    return PacketReader(packet, schema, std::string()).isSoundHead();
}

} // namespace packet

std::vector<Record> parseDataPacket(std::string_view bytes, const Schema &schema,
                                    const std::string &fileName)
{
    if (std::optional<std::vector<Record>> records = packet::scanRows(bytes, schema))
        return std::move(*records);
    std::string buffer(bytes);
    return packet::parseOwned(buffer, schema, fileName);
}

std::vector<Record> readDatabaseFile(const std::string &fileName, const Schema &schema)
{
    if (std::optional<std::vector<Record>> records = packet::scanFile(fileName, schema))
        return std::move(*records);
    std::string buffer = readWholeFile(fileName);
    return packet::parseOwned(buffer, schema, absoluteName(fileName));
}

void readDatabase(Table &table, const std::string &fileName)
{
    table.replaceContent(readDatabaseFile(fileName, table.schema()));
}

std::optional<std::vector<Record>> readExistingDatabaseFile(const std::string &fileName,
                                                            const Schema &schema)
{
    // Only a file that is surely absent is created anew. One the system cannot look at just now
    // (a network share that fails for a moment) is read, and the read reports why it failed,
    // rather than being overwritten with an empty database.
    std::error_code ec;
    const auto status = std::filesystem::status(pathFromUtf8(fileName), ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return std::nullopt;
    return readDatabaseFile(fileName, schema);
}

void writeDatabase(const Table &table, const std::string &fileName)
{
    if (!table.isActive())
        throw Error("Tablica nije otvorena.");
    writeDatabaseFile(fileName, table.schema(), table.rows(), table.begunRow());
}

} // namespace data

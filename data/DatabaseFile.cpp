#include "data/DatabaseFile.h"

#include "data/AtomicFile.h"
#include "data/Encoding.h"
#include "data/Error.h"
#include "data/NativeFile.h"
#include "data/NativeMemory.h"
#include "data/NumberText.h"
#include "data/Path.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace data {

namespace {

// ---------------------------------------------------------------------------------------------
// Reading

enum class DeclaredEncoding { None, Utf8, Windows1250, Other };

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

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
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
        parse();
        const pugi::xml_node root = checkRoot();
        checkMetadata(root);
        return readRows(root);
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
        const pugi::xml_node rowData = root.child("ROWDATA");
        return rowData && rowData == root.last_child() && !rowData.first_child();
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

    std::size_t fieldIndex(const char *name, std::size_t guess) const
    {
        // Rows usually list the fields in order, so the field after the last one found comes
        // first.
        const std::size_t n = m_names.size();
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = guess + k < n ? guess + k : guess + k - n;
            const std::string_view field = m_names[i];
            std::size_t j = 0;
            while (j < field.size() && name[j] == field[j])
                ++j;
            if (j == field.size() && name[j] == '\0')
                return i;
        }
        return noField;
    }

    // The value of an attribute as stored text: references resolved, control characters
    // cleaned, numbers in their stored form. Points into the buffer when nothing changes.
    std::string_view readValue(const char *raw, std::size_t field, std::string &scratch,
                               const pugi::xml_node &row) const
    {
        const std::optional<std::string_view> value = resolveValue(raw, scratch);
        if (!value)
            fail(lineOf(row),
                 "neispravna oznaka znaka u vrijednosti polja " + m_schema[field].name);
        if (!m_schema[field].isNumber())
            return *value;
        const std::optional<std::string_view> number = storedNumber(*value, scratch);
        if (!number)
            fail(lineOf(row), "vrijednost „" + std::string(*value) + "” polja " +
                                  m_schema[field].name + " nije broj");
        return *number;
    }

    std::vector<Record> readRows(const pugi::xml_node &root)
    {
        pugi::xml_node rowData = requireChild(root, "ROWDATA");
        const std::size_t n = m_schema.size();
        for (const FieldDef &field : m_schema)
            m_names.push_back(field.name);
        std::vector<std::string_view> values(n);
        std::vector<std::string> scratch(n);
        std::vector<std::size_t> seenInRow(n, 0);

        std::vector<Record> records;
        std::size_t rowNumber = 0;
        // Each row leaves the document once it is a record: the parser's memory, page by page,
        // goes back to the records being built, and the peak stays well below twice the tree.
        for (pugi::xml_node row = rowData.first_child(), next; row; row = next) {
            next = row.next_sibling();
            if (row.type() != pugi::node_element)
                continue;
            if (std::strcmp(row.name(), "ROW") != 0)
                fail(lineOf(row), "neočekivani element " + std::string(row.name()));
            ++rowNumber;
            std::fill(values.begin(), values.end(), std::string_view());
            std::size_t guess = 0;
            for (pugi::xml_attribute a = row.first_attribute(); a; a = a.next_attribute()) {
                const std::size_t field = fieldIndex(a.name(), guess);
                if (field == noField) {
                    if (std::strcmp(a.name(), "RowState") == 0)
                        fail(lineOf(row), unmergedChanges);
                    continue;
                }
                if (seenInRow[field] == rowNumber)
                    fail(lineOf(row), "atribut " + m_schema[field].name + " se ponavlja");
                seenInRow[field] = rowNumber;
                values[field] = readValue(a.value(), field, scratch[field], row);
                guess = field + 1 < n ? field + 1 : 0;
            }
            records.emplace_back(std::span<const std::string_view>(values));
            rowData.remove_child(row);
        }
        return records;
    }

    static constexpr std::size_t noField = static_cast<std::size_t>(-1);
    static constexpr const char *unmergedChanges = "datoteka sadrži nespojene promjene";

    std::string &m_buffer;
    const Schema &m_schema;
    const std::string &m_fileName;
    std::vector<std::size_t> m_newlines;
    std::vector<std::string_view> m_names;
    pugi::xml_document m_document;
};

bool g_rowScanner = true;
bool g_scannedLast = false;

// As readWholeFile allows.
constexpr long long maxScannedSize = 1LL << 30;

// Record text written into large blocks, each shared by the records that point into it.
class RecordTextBlocks {
public:
    explicit RecordTextBlocks(std::size_t firstBlock)
        : m_nextSize(std::max(firstBlock, minimumBlock))
    {
    }

    // Room for `size` bytes of one record's text, to be taken by record().
    char *room(std::size_t size)
    {
        if (!m_block || m_block->size() - m_used < size) {
            m_block = std::make_shared<native::LargeBlock>(std::max(size, m_nextSize));
            m_used = 0;
            m_prepared = 0;
            m_nextSize = minimumBlock;
        }
        // Made ready a few pages at a time: the end of the first block may never be needed.
        while (m_used + size > m_prepared) {
            m_block->prepare(m_prepared, prepareStep);
            m_prepared += prepareStep;
        }
        return m_block->data() + m_used;
    }

    Record record(std::size_t size, std::size_t fieldCount)
    {
        const std::string_view text(m_block->data() + m_used, size);
        m_used += size;
        return Record(m_block, text, fieldCount);
    }

private:
    static constexpr std::size_t minimumBlock = std::size_t(4) << 20;
    static constexpr std::size_t prepareStep = std::size_t(2) << 20;

    std::shared_ptr<native::LargeBlock> m_block;
    std::size_t m_used = 0;
    std::size_t m_prepared = 0;
    std::size_t m_nextSize;
};

bool isNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isNameChar(char c)
{
    return isNameStart(c) || isDigit(c) || c == '-' || c == '.' || c == ':';
}

// Reads the common file quickly: UTF-8, a head of elements only, ROW elements with attributes
// one after another. Anything unusual, and every fault, is left to PacketReader, which then gives
// the same records or the error; so this reader never reports anything itself.
//
// A file is read a few megabytes at a time into the same memory, so it is never held whole.
class RowScanner {
public:
    // Reads up to `size` bytes to `to`; 0 at the end, -1 on failure.
    using Source = std::function<long long(char *to, std::size_t size)>;

    RowScanner(std::string_view bytes, const Schema &schema)
        : m_bytes(bytes)
        , m_end(bytes.data() + bytes.size())
        , m_atEnd(true)
        , m_total(bytes.size())
        , m_schema(schema)
    {
        for (const FieldDef &field : m_schema)
            m_names.push_back(field.name);
    }

    // `total` is the expected size of all that `source` gives.
    RowScanner(Source source, std::size_t total, const Schema &schema)
        : RowScanner(std::string_view(), schema)
    {
        m_source = std::move(source);
        m_total = total;
        m_atEnd = false;
        m_buffer = native::LargeBlock(bufferSize);
        m_buffer.prepare(0, bufferSize);
    }

    // The records, or nothing when PacketReader must read the packet.
    std::optional<std::vector<Record>> read()
    {
        const char *p = m_bytes.data();
        if (m_source && !refill(p))
            return std::nullopt;
        if (m_bytes.empty())
            return std::nullopt;
        std::string_view name;
        const DeclaredEncoding declared = declaredEncoding(m_bytes, name);
        if (declared != DeclaredEncoding::None && declared != DeclaredEncoding::Utf8)
            return std::nullopt;
        const std::size_t rowsStart = headEnd();
        if (rowsStart == std::string_view::npos)
            return std::nullopt;
        return readRows(rowsStart);
    }

private:
    // Moves what is left from `p` on to the start of the buffer and reads more after it.
    bool refill(const char *&p)
    {
        const auto left = static_cast<std::size_t>(m_end - p);
        if (left > 0 && p != m_buffer.data())
            std::memmove(m_buffer.data(), p, left);
        m_offset += static_cast<std::size_t>(p - m_bytes.data());
        std::size_t used = left;
        while (!m_atEnd && used < bufferSize) {
            const long long got = m_source(m_buffer.data() + used, bufferSize - used);
            if (got < 0)
                return false;
            if (got == 0)
                m_atEnd = true;
            used += static_cast<std::size_t>(got);
        }
        m_bytes = std::string_view(m_buffer.data(), used);
        m_end = m_bytes.data() + used;
        p = m_bytes.data();
        return true;
    }

    // A NUL ends the text for the parser, and it takes only UTF-8: other text takes the long way.
    static bool isPlainText(std::string_view text)
    {
        return !std::memchr(text.data(), '\0', text.size()) &&
               invalidUtf8Offset(text) == std::string_view::npos;
    }

    // Where the rows begin, when the head is sound; npos otherwise.
    std::size_t headEnd() const
    {
        constexpr std::string_view rowDataTag = "<ROWDATA>";
        const std::size_t tag = m_bytes.find(rowDataTag);
        if (tag == std::string_view::npos)
            return tag;
        const std::size_t end = tag + rowDataTag.size();
        const std::string_view head = m_bytes.substr(0, end);
        if (!isPlainText(head))
            return std::string_view::npos;
        // Comments, sections and instructions could hide or fake the tag.
        const std::size_t instruction = head.find("<?");
        if (head.find("<!") != std::string_view::npos ||
            (instruction != std::string_view::npos &&
             head.find("<?", instruction + 2) != std::string_view::npos))
            return std::string_view::npos;
        std::string headPacket;
        headPacket.reserve(head.size() + 32);
        headPacket.append(head).append("</ROWDATA></DATAPACKET>");
        try {
            if (!PacketReader(headPacket, m_schema, std::string()).isSoundHead())
                return std::string_view::npos;
        } catch (const Error &) {
            return std::string_view::npos;
        }
        return end;
    }

    const char *skipSpace(const char *p) const
    {
        while (p < m_end && isXmlSpace(*p))
            ++p;
        return p;
    }

    bool startsWith(const char *p, std::string_view text) const
    {
        return static_cast<std::size_t>(m_end - p) >= text.size() &&
               std::memcmp(p, text.data(), text.size()) == 0;
    }

    std::size_t fieldIndex(std::string_view name, std::size_t guess) const
    {
        const std::size_t n = m_names.size();
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = guess + k < n ? guess + k : guess + k - n;
            if (m_names[i] == name)
                return i;
        }
        return noField;
    }

    std::optional<std::vector<Record>> readRows(std::size_t rowsStart)
    {
        const std::size_t n = m_schema.size();
        std::vector<std::string_view> values(n);
        std::vector<std::string> scratch(n);
        std::vector<std::size_t> seenInRow(n, 0);
        std::vector<Record> records;
        // The text of the records is smaller than the file, which gives the first block's size.
        RecordTextBlocks text(m_total - std::min(m_total, rowsStart) + n * 64);
        const char *p = m_bytes.data() + rowsStart;
        constexpr std::size_t sampleRows = 1024;
        for (std::size_t rowNumber = 1;; ++rowNumber) {
            // A row longer than the look-ahead is left to the parser.
            if (!m_atEnd && static_cast<std::size_t>(m_end - p) < lookAhead && !refill(p))
                return std::nullopt;
            p = skipSpace(p);
            const char *const rowStart = p;
            if (startsWith(p, "</ROWDATA"))
                break;
            if (!startsWith(p, "<ROW") || p + 4 == m_end || !(isXmlSpace(p[4]) || p[4] == '/'))
                return std::nullopt;
            p += 4;
            std::fill(values.begin(), values.end(), std::string_view());
            std::size_t guess = 0;
            for (;;) {
                const char *name = skipSpace(p);
                if (name == m_end)
                    return std::nullopt;
                if (*name == '/') {
                    if (name + 1 == m_end || name[1] != '>')
                        return std::nullopt;
                    p = name + 2;
                    break;
                }
                // Attributes are separated by white space; a row with content ends with '>'.
                if (name == p || !isNameStart(*name))
                    return std::nullopt;
                p = name + 1;
                while (p < m_end && isNameChar(*p))
                    ++p;
                const std::string_view attribute(name, static_cast<std::size_t>(p - name));
                p = skipSpace(p);
                if (p == m_end || *p != '=')
                    return std::nullopt;
                p = skipSpace(p + 1);
                if (p == m_end || (*p != '"' && *p != '\''))
                    return std::nullopt;
                const char quote = *p++;
                const auto *close = static_cast<const char *>(
                    std::memchr(p, quote, static_cast<std::size_t>(m_end - p)));
                if (!close)
                    return std::nullopt;
                const std::string_view raw(p, static_cast<std::size_t>(close - p));
                p = close + 1;
                const std::size_t field = fieldIndex(attribute, guess);
                if (field == noField) {
                    if (attribute == "RowState")
                        return std::nullopt;
                    continue;
                }
                if (seenInRow[field] == rowNumber)
                    return std::nullopt;
                seenInRow[field] = rowNumber;
                std::optional<std::string_view> value = resolveValue(raw, scratch[field]);
                if (value && m_schema[field].isNumber())
                    value = storedNumber(*value, scratch[field]);
                if (!value)
                    return std::nullopt;
                values[field] = *value;
                guess = field + 1 < n ? field + 1 : 0;
            }
            if (!isPlainText(std::string_view(rowStart, static_cast<std::size_t>(p - rowStart))))
                return std::nullopt;
            std::size_t size = n - 1;
            for (std::string_view v : values)
                size += v.size();
            char *out = text.room(size);
            for (std::size_t f = 0; f < n; ++f) {
                if (f > 0)
                    *out++ = '\0';
                if (!values[f].empty())
                    std::memcpy(out, values[f].data(), values[f].size());
                out += values[f].size();
            }
            records.push_back(text.record(size, n));
            // Room for all rows at once, guessed from the first ones, rather than growing by
            // doubling, which copies every record and holds them twice for a moment.
            if (rowNumber == sampleRows) {
                const std::size_t at = m_offset + static_cast<std::size_t>(p - m_bytes.data());
                const std::size_t done = at - rowsStart;
                const std::size_t left = m_total - std::min(m_total, at);
                records.reserve(sampleRows + left / (done / sampleRows) * 21 / 20 + sampleRows);
                native::adviseLargeUse(records.data(), records.capacity() * sizeof(Record));
            }
        }
        // The ends of ROWDATA and of the packet, and nothing after them but white space.
        p = skipSpace(p + 9);
        if (p == m_end || *p != '>')
            return std::nullopt;
        p = skipSpace(p + 1);
        if (!startsWith(p, "</DATAPACKET"))
            return std::nullopt;
        p = skipSpace(p + 12);
        if (p == m_end || *p != '>')
            return std::nullopt;
        for (++p;; p = m_end) {
            if (skipSpace(p) != m_end)
                return std::nullopt;
            if (m_atEnd)
                return records;
            if (!refill(p))
                return std::nullopt;
        }
    }

    static constexpr std::size_t noField = static_cast<std::size_t>(-1);
    static constexpr std::size_t bufferSize = std::size_t(4) << 20;
    static constexpr std::size_t lookAhead = std::size_t(256) << 10;

    std::string_view m_bytes; // what is read and not yet passed
    const char *m_end;
    bool m_atEnd;             // m_bytes reaches the end of the packet
    std::size_t m_offset = 0; // where m_bytes begins in the packet
    std::size_t m_total;
    Source m_source;
    native::LargeBlock m_buffer;
    const Schema &m_schema;
    std::vector<std::string_view> m_names;
};

std::vector<Record> parseOwned(std::string &buffer, const Schema &schema,
                               const std::string &fileName)
{
    return PacketReader(buffer, schema, fileName).read();
}

std::optional<std::vector<Record>> scanRows(std::string_view bytes, const Schema &schema)
{
    g_scannedLast = false;
    if (!g_rowScanner)
        return std::nullopt;
    std::optional<std::vector<Record>> records = RowScanner(bytes, schema).read();
    g_scannedLast = records.has_value();
    return records;
}

// The records of a common file read a piece at a time; nothing when the file is not one, or
// cannot be read so, and must be read whole.
std::optional<std::vector<Record>> scanFile(const std::string &fileName, const Schema &schema)
{
    g_scannedLast = false;
    if (!g_rowScanner)
        return std::nullopt;
    std::error_code error;
    const native::Handle file = native::openForReading(pathFromUtf8(fileName), error);
    if (file == native::noHandle)
        return std::nullopt;
    struct Closer {
        native::Handle file;
        ~Closer()
        {
            std::error_code ignored;
            native::close(file, ignored);
        }
    } closer{file};
    const long long size = native::regularFileSize(file);
    // Anything but a regular file of a sensible size gets its error from the whole reading.
    if (size <= 0 || size > maxScannedSize)
        return std::nullopt;
    long long total = 0;
    RowScanner scanner(
        [&](char *to, std::size_t room) -> long long {
            std::error_code readError;
            const long long got = native::readSome(file, to, room, readError);
            total += got > 0 ? got : 0;
            return total > maxScannedSize ? -1 : got;
        },
        static_cast<std::size_t>(size), schema);
    std::optional<std::vector<Record>> records = scanner.read();
    g_scannedLast = records.has_value();
    return records;
}

// ---------------------------------------------------------------------------------------------
// Writing

// Attribute values escape & < > " only: stored text never holds a control character.
void appendEscaped(std::string &out, std::string_view value)
{
    std::size_t done = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        std::string_view reference;
        switch (value[i]) {
        case '&':
            reference = "&amp;";
            break;
        case '<':
            reference = "&lt;";
            break;
        case '>':
            reference = "&gt;";
            break;
        case '"':
            reference = "&quot;";
            break;
        default:
            assert(static_cast<unsigned char>(value[i]) >= 0x20 && value[i] != 0x7F);
            continue;
        }
        out.append(value.substr(done, i - done));
        out.append(reference);
        done = i + 1;
    }
    out.append(value.substr(done));
}

constexpr std::string_view rowOpen = "    <ROW";
constexpr std::string_view rowClose = "/>\n";
constexpr std::string_view packetEnd = "  </ROWDATA>\n</DATAPACKET>\n";

void appendPacketHead(std::string &out, const Schema &schema)
{
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<DATAPACKET Version=\"2.0\">\n"
           "  <METADATA>\n"
           "    <FIELDS>\n";
    for (const FieldDef &field : schema) {
        out += "      <FIELD attrname=\"";
        out += field.name;
        switch (field.kind) {
        case FieldKind::Text:
            out += "\" fieldtype=\"string\" WIDTH=\"";
            out += std::to_string(field.maxLength);
            out += "\"/>\n";
            break;
        case FieldKind::Float:
            out += "\" fieldtype=\"r8\"/>\n";
            break;
        case FieldKind::Money:
            out += "\" fieldtype=\"r8\" SUBTYPE=\"Money\"/>\n";
            break;
        }
    }
    out += "    </FIELDS>\n"
           "    <PARAMS/>\n"
           "  </METADATA>\n"
           "  <ROWDATA>\n";
}

// True when `text` holds a character that an attribute value escapes. Written without branches,
// so that the compiler checks many bytes at once.
bool needsEscaping(std::string_view text)
{
    unsigned char special = 0;
    for (char c : text)
        special |= static_cast<unsigned char>((c == '&') | (c == '<') | (c == '>') | (c == '"'));
    return special != 0;
}

// Writes `value` at `out` as appendEscaped does; there must be room for six times its size.
char *writeEscaped(char *out, std::string_view value)
{
    for (char c : value) {
        std::string_view reference;
        switch (c) {
        case '&':
            reference = "&amp;";
            break;
        case '<':
            reference = "&lt;";
            break;
        case '>':
            reference = "&gt;";
            break;
        case '"':
            reference = "&quot;";
            break;
        default:
            *out++ = c;
            continue;
        }
        out = std::copy(reference.begin(), reference.end(), out);
    }
    return out;
}

// Writes a row as appendRow does, where there is room for it; returns the end.
char *writeRow(char *out, const Schema &schema, const Record &row)
{
    out = std::copy(rowOpen.begin(), rowOpen.end(), out);
    // Most records have nothing to escape: one look at all their text then does.
    const bool plain = !needsEscaping(row.values());
    row.forEachValue([&](std::size_t field, std::string_view value) {
        if (value.empty())
            return;
        *out++ = ' ';
        out = std::copy(schema[field].name.begin(), schema[field].name.end(), out);
        *out++ = '=';
        *out++ = '"';
        out = plain ? std::copy(value.begin(), value.end(), out) : writeEscaped(out, value);
        *out++ = '"';
    });
    return std::copy(rowClose.begin(), rowClose.end(), out);
}

void appendRow(std::string &out, const Schema &schema, const Record &row)
{
    out += rowOpen;
    row.forEachValue([&](std::size_t field, std::string_view value) {
        if (value.empty())
            return; // an empty field has no attribute
        out += ' ';
        out += schema[field].name;
        out += "=\"";
        appendEscaped(out, value);
        out += '"';
    });
    out += rowClose;
}

} // namespace

void setRowScannerForTesting(bool enabled)
{
    g_rowScanner = enabled;
}

bool rowScannerReadLastForTesting()
{
    return g_scannedLast;
}

std::vector<Record> parseDataPacket(std::string_view bytes, const Schema &schema,
                                    const std::string &fileName)
{
    if (std::optional<std::vector<Record>> records = scanRows(bytes, schema))
        return std::move(*records);
    std::string buffer(bytes);
    return parseOwned(buffer, schema, fileName);
}

void appendDataPacket(std::string &out, const Schema &schema, const std::vector<Record> &rows,
                      std::size_t skipRow)
{
    appendPacketHead(out, schema);
    // Reserved up front: growing by doubling would briefly hold the text twice.
    std::size_t size = 0;
    for (const Record &record : rows) {
        size += rowOpen.size() + rowClose.size();
        record.forEachValue([&](std::size_t field, std::string_view value) {
            if (!value.empty())
                size += schema[field].name.size() + 4 + value.size();
        });
    }
    out.reserve(out.size() + size + size / 32 + packetEnd.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (r != skipRow)
            appendRow(out, schema, rows[r]);
    }
    out += packetEnd;
}

std::vector<Record> readDatabaseFile(const std::string &fileName, const Schema &schema)
{
    if (std::optional<std::vector<Record>> records = scanFile(fileName, schema))
        return std::move(*records);
    std::string buffer = readWholeFile(fileName);
    return parseOwned(buffer, schema, absoluteName(fileName));
}

void writeDatabaseFile(const std::string &fileName, const Schema &schema,
                       const std::vector<Record> &rows, std::size_t skipRow)
{
    // Written a piece at a time: the file is never held whole in memory, and each piece is
    // still in the cache when it is written.
    writeFileAtomically(fileName, [&](const PieceWriter &write) {
        PieceBuffer pieces(write);
        std::string head;
        appendPacketHead(head, schema);
        char *out = pieces.room(head.size());
        pieces.take(std::copy(head.begin(), head.end(), out));
        // Each row at most: its tags, every attribute's name, and every character as "&quot;".
        std::size_t rowRoom = rowOpen.size() + rowClose.size();
        for (const FieldDef &field : schema)
            rowRoom += field.name.size() + 4;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (r != skipRow)
                pieces.take(
                    writeRow(pieces.room(rowRoom + 6 * rows[r].values().size()), schema, rows[r]));
        }
        out = pieces.room(packetEnd.size());
        pieces.take(std::copy(packetEnd.begin(), packetEnd.end(), out));
        pieces.finish();
    });
}

} // namespace data

#include "format/DatabaseFile.h"
#include "format/PacketReading.h"
#include "model/Ascii.h"
#include "model/Encoding.h"
#include "platform/Error.h"
#include "platform/NativeFile.h"
#include "platform/NativeMemory.h"
#include "platform/Path.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

namespace data {

namespace packet {

namespace {

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
// one after another. Anything unusual, and every fault, is left to the full parser, which then
// gives the same records or the error; so this reader never reports anything itself.
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
    }

    // `total` is the expected size of all that `source` gives; `bufferSize` is the memory it
    // is read into, a piece at a time.
    RowScanner(Source source, std::size_t total, const Schema &schema,
               std::size_t bufferSize = std::size_t(4) << 20)
        : RowScanner(std::string_view(), schema)
    {
        m_source = std::move(source);
        m_total = total;
        m_atEnd = false;
        m_bufferSize = bufferSize;
        m_lookAhead = std::min(m_lookAhead, bufferSize / 4);
        m_buffer = native::LargeBlock(m_bufferSize);
        m_buffer.prepare(0, m_bufferSize);
    }

    // The records, or nothing when the full parser must read the packet.
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
        while (!m_atEnd && used < m_bufferSize) {
            const long long got = m_source(m_buffer.data() + used, m_bufferSize - used);
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
            if (!isSoundHead(headPacket, m_schema))
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

    // The attributes of the row whose name `p` has passed, up to its end, which `p` then
    // passes; false for anything the parser must read.
    bool readAttributes(const char *&p, RowValues &values) const
    {
        for (;;) {
            const char *name = skipSpace(p);
            if (name == m_end)
                return false;
            if (*name == '/') {
                p = name + 2;
                return name + 1 != m_end && name[1] == '>';
            }
            // Attributes are separated by white space; a row with content ends with '>'.
            if (name == p || !isNameStart(*name))
                return false;
            p = name + 1;
            while (p < m_end && isNameChar(*p))
                ++p;
            const std::string_view attribute(name, static_cast<std::size_t>(p - name));
            p = skipSpace(p);
            if (p == m_end || *p != '=')
                return false;
            p = skipSpace(p + 1);
            if (p == m_end || (*p != '"' && *p != '\''))
                return false;
            const char quote = *p++;
            const auto *close = static_cast<const char *>(
                std::memchr(p, quote, static_cast<std::size_t>(m_end - p)));
            if (!close)
                return false;
            const std::string_view raw(p, static_cast<std::size_t>(close - p));
            p = close + 1;
            const RowValues::Taken taken = values.take(attribute, raw);
            if (taken != RowValues::Taken::Value && taken != RowValues::Taken::Unknown)
                return false;
        }
    }

    std::optional<std::vector<Record>> readRows(std::size_t rowsStart)
    {
        const std::size_t n = m_schema.size();
        RowValues values(m_schema);
        std::vector<Record> records;
        // The text of the records is smaller than the file, which gives the first block's size.
        RecordTextBlocks text(m_total - std::min(m_total, rowsStart) + n * 64);
        const char *p = m_bytes.data() + rowsStart;
        constexpr std::size_t sampleRows = 1024;
        for (;;) {
            // A row longer than the look-ahead is left to the parser.
            if (!m_atEnd && static_cast<std::size_t>(m_end - p) < m_lookAhead && !refill(p))
                return std::nullopt;
            p = skipSpace(p);
            const char *const rowStart = p;
            if (startsWith(p, "</ROWDATA"))
                break;
            if (!startsWith(p, "<ROW") || p + 4 == m_end || !(isXmlSpace(p[4]) || p[4] == '/'))
                return std::nullopt;
            p += 4;
            values.startRow();
            if (!readAttributes(p, values) ||
                !isPlainText(std::string_view(rowStart, static_cast<std::size_t>(p - rowStart))))
                return std::nullopt;
            std::size_t size = n - 1;
            for (std::string_view v : values.values())
                size += v.size();
            char *out = text.room(size);
            for (std::size_t f = 0; f < n; ++f) {
                if (f > 0)
                    *out++ = '\0';
                const std::string_view v = values.values()[f];
                if (!v.empty())
                    std::memcpy(out, v.data(), v.size());
                out += v.size();
            }
            records.push_back(text.record(size, n));
            if (records.size() == sampleRows)
                reserveRows(records, rowsStart, p);
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
        // Every byte after it, in every buffer still to come.
        for (++p;;) {
            p = skipSpace(p);
            if (p != m_end)
                return std::nullopt;
            if (m_atEnd)
                return records;
            if (!refill(p))
                return std::nullopt;
        }
    }

    // Room for all rows at once, guessed from the first ones, rather than growing by doubling,
    // which copies every record and holds them twice for a moment. Never more than the file's
    // own size, however short the first rows were: past that the vector grows as usual.
    void reserveRows(std::vector<Record> &records, std::size_t rowsStart, const char *p) const
    {
        const std::size_t at = m_offset + static_cast<std::size_t>(p - m_bytes.data());
        const std::size_t done = at - rowsStart;
        const std::size_t left = m_total - std::min(m_total, at);
        const std::size_t guessed =
            left / std::max<std::size_t>(done / records.size(), 1) * 21 / 20;
        const std::size_t most = m_total / sizeof(Record);
        records.reserve(records.size() * 2 + std::min(guessed, most));
        native::adviseLargeUse(records.data(), records.capacity() * sizeof(Record));
    }

    std::size_t m_bufferSize = std::size_t(4) << 20;
    std::size_t m_lookAhead = std::size_t(256) << 10;

    std::string_view m_bytes; // what is read and not yet passed
    const char *m_end;
    bool m_atEnd;             // m_bytes reaches the end of the packet
    std::size_t m_offset = 0; // where m_bytes begins in the packet
    std::size_t m_total;
    Source m_source;
    native::LargeBlock m_buffer;
    const Schema &m_schema;
};

} // namespace

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
    const native::ReadingClosed closer{file};
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

std::optional<std::vector<Record>>
scanPiecesForTesting(std::string_view bytes, const Schema &schema, std::size_t bufferSize)
{
    std::size_t at = 0;
    RowScanner scanner(
        [&](char *to, std::size_t room) -> long long {
            const std::size_t size = std::min(room, bytes.size() - at);
            std::memcpy(to, bytes.data() + at, size);
            at += size;
            return static_cast<long long>(size);
        },
        bytes.size(), schema, bufferSize);
    return scanner.read();
}

} // namespace packet

void setRowScannerForTesting(bool enabled)
{
    packet::g_rowScanner = enabled;
}

bool rowScannerReadLastForTesting()
{
    return packet::g_scannedLast;
}

} // namespace data

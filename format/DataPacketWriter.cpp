#include "format/DatabaseFile.h"
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cassert>

namespace data {

namespace {

// Attribute values escape & < > " only: stored text never holds a control character. Empty for a
// character that stands for itself.
std::string_view referenceFor(char c)
{
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    default:
        assert(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        return {};
    }
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
        const std::string_view reference = referenceFor(c);
        if (reference.empty())
            *out++ = c;
        else
            out = std::copy(reference.begin(), reference.end(), out);
    }
    return out;
}

// Writes a row where there is room for it (see rowFrame); returns the end.
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

// The most a row can take but for its values: its tags and every attribute's name.
std::size_t rowFrame(const Schema &schema)
{
    std::size_t room = rowOpen.size() + rowClose.size();
    for (const FieldDef &field : schema)
        room += field.name.size() + 4;
    return room;
}

// Room for a row's values: each character may become "&quot;".
std::size_t valueRoom(const Record &row)
{
    return 6 * row.values().size();
}

} // namespace

void appendDataPacket(std::string &out, const Schema &schema, const std::vector<Record> &rows,
                      std::size_t skipRow)
{
    appendPacketHead(out, schema);
    const std::size_t frame = rowFrame(schema);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (r == skipRow)
            continue;
        const std::size_t used = out.size();
        out.resize(used + frame + valueRoom(rows[r]));
        out.resize(
            static_cast<std::size_t>(writeRow(out.data() + used, schema, rows[r]) - out.data()));
    }
    out += packetEnd;
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
        const std::size_t frame = rowFrame(schema);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (r != skipRow)
                pieces.take(writeRow(pieces.room(frame + valueRoom(rows[r])), schema, rows[r]));
        }
        out = pieces.room(packetEnd.size());
        pieces.take(std::copy(packetEnd.begin(), packetEnd.end(), out));
        pieces.finish();
    });
}

} // namespace data

#pragma once

#include "model/Record.h"
#include "model/Schema.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the two readers of a data packet share: the full parser (DatabaseFile.cpp, on pugixml)
// and the quick reader of common files (RowScanner.cpp), which leaves everything else to it.
namespace data::packet {

enum class DeclaredEncoding { None, Utf8, Windows1250, Other };
// The encoding the XML declaration names; `name` is set to the name as written.
DeclaredEncoding declaredEncoding(std::string_view bytes, std::string_view &name);
bool isXmlSpace(char c);
// An attribute's value with its references resolved, in `scratch` where it had any; nothing
// for a reference that is not allowed.
std::optional<std::string_view> resolveValue(std::string_view raw, std::string &scratch);
// A number field's value in its stored form, in `scratch` where it changed; nothing for a value
// that is not a number.
std::optional<std::string_view> storedNumber(std::string_view value, std::string &scratch);

// A row's attributes as both readers take them: the field each names, the next field tried
// first, as rows list them in order; a field given twice; a row state, which only a change log
// has; the value in its stored form.
class RowValues {
public:
    enum class Taken { Value, Unknown, RowState, Repeated, BadReference, NotANumber };

    explicit RowValues(const Schema &schema)
        : m_schema(schema)
        , m_values(schema.size())
        , m_scratch(schema.size())
        , m_seen(schema.size(), 0)
    {
        for (const FieldDef &field : schema)
            m_names.push_back(field.name);
    }

    void startRow()
    {
        ++m_row;
        m_guess = 0;
        std::fill(m_values.begin(), m_values.end(), std::string_view());
    }

    Taken take(std::string_view name, std::string_view raw)
    {
        const std::size_t n = m_names.size();
        m_field = n;
        for (std::size_t k = 0; k < n && m_field == n; ++k) {
            const std::size_t i = m_guess + k < n ? m_guess + k : m_guess + k - n;
            if (m_names[i] == name)
                m_field = i;
        }
        if (m_field == n)
            return name == "RowState" ? Taken::RowState : Taken::Unknown;
        if (m_seen[m_field] == m_row)
            return Taken::Repeated;
        m_seen[m_field] = m_row;
        const std::optional<std::string_view> value = resolveValue(raw, m_scratch[m_field]);
        if (!value)
            return Taken::BadReference;
        m_resolved = *value;
        const std::optional<std::string_view> stored =
            m_schema[m_field].isNumber() ? storedNumber(*value, m_scratch[m_field]) : value;
        if (!stored)
            return Taken::NotANumber;
        m_values[m_field] = *stored;
        m_guess = m_field + 1 < n ? m_field + 1 : 0;
        return Taken::Value;
    }

    const std::vector<std::string_view> &values() const { return m_values; }
    // The field of the attribute last taken, and its value before it was made a number.
    std::size_t field() const { return m_field; }
    std::string_view resolved() const { return m_resolved; }

private:
    const Schema &m_schema;
    std::vector<std::string_view> m_names;
    std::vector<std::string_view> m_values;
    std::vector<std::string> m_scratch;
    std::vector<std::size_t> m_seen;
    std::size_t m_row = 0;
    std::size_t m_guess = 0;
    std::size_t m_field = 0;
    std::string_view m_resolved;
};

// Whether `packet`, a head with an empty ROWDATA, is sound to the full parser; throws Error.
bool isSoundHead(std::string &packet, const Schema &schema);

// The quick reader: the records, or nothing when the full parser must read the packet.
std::optional<std::vector<Record>> scanRows(std::string_view bytes, const Schema &schema);
// The same for a file, read a piece at a time.
std::optional<std::vector<Record>> scanFile(const std::string &fileName, const Schema &schema);
// The quick reader fed `bytes` through a buffer of `bufferSize` bytes, as a file is read, so
// that small packets cross buffers.
std::optional<std::vector<Record>>
scanPiecesForTesting(std::string_view bytes, const Schema &schema, std::size_t bufferSize);

} // namespace data::packet

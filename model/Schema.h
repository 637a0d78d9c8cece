#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace data {

enum class FieldKind {
    Text,
    Float, // double precision number
    Money, // double precision amount, shown without a currency symbol
};

struct FieldDef {
    std::string name;    // as the database file and the export store it; never changes
    std::string caption; // what the clerk knows the field by
    FieldKind kind = FieldKind::Text;
    std::size_t maxLength = 0; // in code points; text fields only

    bool isNumber() const { return kind != FieldKind::Text; }
};

class Schema {
public:
    Schema() = default;
    explicit Schema(std::vector<FieldDef> fields)
        : m_fields(std::move(fields))
    {
    }

    std::size_t size() const { return m_fields.size(); }
    const FieldDef &operator[](std::size_t i) const { return m_fields[i]; }
    auto begin() const { return m_fields.begin(); }
    auto end() const { return m_fields.end(); }

    std::optional<std::size_t> indexOf(std::string_view name) const
    {
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            if (m_fields[i].name == name)
                return i;
        }
        return std::nullopt;
    }

private:
    std::vector<FieldDef> m_fields;
};

} // namespace data

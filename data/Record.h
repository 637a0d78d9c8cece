#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace data {

// One record's values as stored text (number fields in their stored form, see NumberText.h).
// All values share one string, separated by NUL: a record of a hundred thousand then costs one
// allocation instead of twelve. Stored text never holds a control character, so NUL is free.
class Record {
public:
    explicit Record(std::size_t fieldCount = 0);
    explicit Record(std::span<const std::string_view> values);

    std::size_t fieldCount() const { return m_fieldCount; }
    std::string_view value(std::size_t field) const;
    // `text` must hold no NUL (stored text never holds a control character).
    void setValue(std::size_t field, std::string_view text);

    // Calls f(field, value) for every field in order, in one pass over the record: cheaper than
    // value() for each field, which scans from the start every time.
    template <typename F> void forEachValue(F &&f) const
    {
        std::string_view rest(m_data);
        for (std::size_t field = 0; field < m_fieldCount; ++field) {
            const std::size_t end = rest.find('\0');
            f(field, rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        }
    }

    // Every value in field order, separated by NUL.
    std::string_view values() const { return m_data; }

    bool operator==(const Record &) const = default;

private:
    std::size_t valueStart(std::size_t field) const;

    std::string m_data;
    std::size_t m_fieldCount = 0;
};

} // namespace data

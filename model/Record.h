#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace data {

// One record's values as stored text (number fields in their stored form, see NumberText.h).
// All values lie in one text, separated by NUL; stored text never holds a control character, so
// NUL is free. The text is never changed, only replaced: copies share it, and records read from
// a file point into large blocks shared by many records (see RowScanner.cpp), which costs one
// allocation for thousands of records instead of one each.
class Record {
public:
    explicit Record(std::size_t fieldCount = 0);
    explicit Record(std::span<const std::string_view> values);
    // A record whose text `text` (values separated by NUL) lies in memory `owner` keeps alive.
    Record(std::shared_ptr<const void> owner, std::string_view text, std::size_t fieldCount)
        : m_owner(std::move(owner))
        , m_text(text.data())
        , m_size(static_cast<std::uint32_t>(text.size()))
        , m_fieldCount(static_cast<std::uint32_t>(fieldCount))
    {
    }

    std::size_t fieldCount() const { return m_fieldCount; }
    std::string_view value(std::size_t field) const;
    // `text` must hold no NUL (stored text never holds a control character).
    void setValue(std::size_t field, std::string_view text);

    // Calls f(field, value) for every field in order, in one pass over the record: cheaper than
    // value() for each field, which scans from the start every time.
    template <typename F> void forEachValue(F &&f) const
    {
        std::string_view rest = values();
        for (std::size_t field = 0; field < m_fieldCount; ++field) {
            const std::size_t end = rest.find('\0');
            f(field, rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        }
    }

    // Every value in field order, separated by NUL.
    std::string_view values() const { return {m_text, m_size}; }

    bool operator==(const Record &other) const
    {
        return m_fieldCount == other.m_fieldCount && values() == other.values();
    }

private:
    std::size_t valueStart(std::size_t field) const;
    // Takes a text of `size` bytes of its own and returns where to write it.
    char *ownText(std::size_t size);

    std::shared_ptr<const void> m_owner; // none for a text of separators only
    const char *m_text = "";
    std::uint32_t m_size = 0;
    std::uint32_t m_fieldCount = 0;
};

} // namespace data

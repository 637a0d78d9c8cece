#include "model/Record.h"

#include <cassert>
#include <cstring>

namespace data {

namespace {

// The text of an empty record of up to this many fields needs no memory of its own.
constexpr std::size_t sharedSeparators = 64;
constexpr char separators[sharedSeparators] = {};

} // namespace

Record::Record(std::size_t fieldCount)
    : m_fieldCount(static_cast<std::uint32_t>(fieldCount))
{
    const std::size_t size = fieldCount > 0 ? fieldCount - 1 : 0;
    if (size <= sharedSeparators) {
        m_text = separators;
        m_size = static_cast<std::uint32_t>(size);
    } else {
        std::memset(ownText(size), 0, size);
    }
}

Record::Record(std::span<const std::string_view> values)
    : m_fieldCount(static_cast<std::uint32_t>(values.size()))
{
    std::size_t size = values.empty() ? 0 : values.size() - 1;
    for (auto v : values)
        size += v.size();
    char *out = ownText(size);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            *out++ = '\0';
        assert(values[i].find('\0') == std::string_view::npos);
        if (!values[i].empty())
            std::memcpy(out, values[i].data(), values[i].size());
        out += values[i].size();
    }
}

char *Record::ownText(std::size_t size)
{
    std::shared_ptr<char[]> text = std::make_shared_for_overwrite<char[]>(size > 0 ? size : 1);
    m_text = text.get();
    m_size = static_cast<std::uint32_t>(size);
    m_owner = std::move(text);
    return const_cast<char *>(m_text);
}

std::size_t Record::valueStart(std::size_t field) const
{
    std::size_t pos = 0;
    for (std::size_t i = 0; i < field; ++i) {
        const void *sep = std::memchr(m_text + pos, '\0', m_size - pos);
        pos = static_cast<std::size_t>(static_cast<const char *>(sep) - m_text) + 1;
    }
    return pos;
}

std::string_view Record::value(std::size_t field) const
{
    assert(field < m_fieldCount);
    const std::size_t start = valueStart(field);
    std::string_view rest(m_text + start, m_size - start);
    return rest.substr(0, rest.find('\0'));
}

void Record::setValue(std::size_t field, std::string_view text)
{
    assert(field < m_fieldCount);
    assert(text.find('\0') == std::string_view::npos);
    const std::string_view old = values();
    const std::size_t start = valueStart(field);
    std::size_t end = old.find('\0', start);
    if (end == std::string_view::npos)
        end = old.size();
    // A new text: copies of this record, and other records in the same block, keep theirs.
    // `old` stays alive until the new text is written.
    const std::shared_ptr<const void> keep = m_owner;
    char *out = ownText(start + text.size() + (old.size() - end));
    std::memcpy(out, old.data(), start);
    if (!text.empty())
        std::memcpy(out + start, text.data(), text.size());
    std::memcpy(out + start + text.size(), old.data() + end, old.size() - end);
}

} // namespace data

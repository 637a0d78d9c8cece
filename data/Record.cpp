#include "data/Record.h"

#include <cassert>
#include <cstring>

namespace data {

Record::Record(std::size_t fieldCount)
    : m_data(fieldCount > 0 ? fieldCount - 1 : 0, '\0')
    , m_fieldCount(fieldCount)
{
}

Record::Record(std::span<const std::string_view> values)
    : m_fieldCount(values.size())
{
    std::size_t size = values.empty() ? 0 : values.size() - 1;
    for (auto v : values)
        size += v.size();
    m_data.reserve(size);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            m_data.push_back('\0');
        assert(values[i].find('\0') == std::string_view::npos);
        m_data.append(values[i]);
    }
}

std::size_t Record::valueStart(std::size_t field) const
{
    std::size_t pos = 0;
    for (std::size_t i = 0; i < field; ++i) {
        const void *sep = std::memchr(m_data.data() + pos, '\0', m_data.size() - pos);
        pos = static_cast<std::size_t>(static_cast<const char *>(sep) - m_data.data()) + 1;
    }
    return pos;
}

std::string_view Record::value(std::size_t field) const
{
    assert(field < m_fieldCount);
    const std::size_t start = valueStart(field);
    std::string_view rest(m_data.data() + start, m_data.size() - start);
    return rest.substr(0, rest.find('\0'));
}

void Record::setValue(std::size_t field, std::string_view text)
{
    assert(field < m_fieldCount);
    assert(text.find('\0') == std::string_view::npos);
    const std::size_t start = valueStart(field);
    std::size_t end = m_data.find('\0', start);
    if (end == std::string::npos)
        end = m_data.size();
    m_data.replace(start, end - start, text);
}

} // namespace data

#include "gui/binding/ColumnValues.h"

#include "gui/binding/DataSource.h"
#include "model/Encoding.h"
#include "model/Find.h"

#include <algorithm>
#include <utility>

namespace gui {

namespace {

// Writes the folded form of `c` at `out`; returns the end of what was written.
QChar *putFolded(QChar *out, char32_t c)
{
    c = data::FindText::fold(c);
    if (c == 0)
        return out;
    if (QChar::requiresSurrogates(c)) {
        *out++ = QChar(QChar::highSurrogate(c));
        *out++ = QChar(QChar::lowSurrogate(c));
    } else {
        *out++ = QChar(static_cast<char16_t>(c));
    }
    return out;
}

QString foldUtf8(std::string_view text)
{
    // No UTF-8 byte stands for more than one UTF-16 unit: the bytes' count is room enough.
    QString folded(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QChar *const start = folded.data();
    QChar *out = start;
    const auto *at = reinterpret_cast<const unsigned char *>(text.data());
    const auto *end = at + text.size();
    while (at < end) {
        if (*at < 0x80) { // most of a value: nothing to decode
            const unsigned char b = *at++;
            *out++ = QChar(static_cast<char16_t>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b));
        } else {
            out = putFolded(out, data::decodeUtf8(at, end));
        }
    }
    folded.truncate(out - start);
    return folded;
}

} // namespace

ColumnValues &ColumnValues::of(DataSource &source, std::size_t field)
{
    const QString name = QStringLiteral("columnValues%1").arg(field);
    if (auto *values = source.findChild<ColumnValues *>(name, Qt::FindDirectChildrenOnly))
        return *values;
    auto *values = new ColumnValues(source, field, &source);
    values->setObjectName(name);
    return *values;
}

ColumnValues::ColumnValues(DataSource &source, std::size_t field, QObject *parent)
    : QAbstractListModel(parent)
    , m_table(source.table())
    , m_field(field)
{
    source.attach(this);
}

ColumnValues::~ColumnValues()
{
    m_table.removeObserver(this);
}

QString ColumnValues::fold(QStringView text)
{
    QString folded(text.size(), Qt::Uninitialized);
    QChar *const start = folded.data();
    QChar *out = start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        out = putFolded(out, c);
    }
    folded.truncate(out - start);
    return folded;
}

void ColumnValues::ensureRead()
{
    if (m_read)
        return;
    const data::Table &table = m_table;
    const std::size_t rows = table.isActive() ? table.rowCount() : 0;
    beginResetModel();
    m_ids.reserve(rows);
    m_rowIds.reserve(rows);
    for (std::size_t row = 0; row < rows; ++row)
        m_rowIds.push_back(use(table.storedValue(row, m_field), false));
    // Sorted as before() orders them, through views: a comparison reads the texts directly.
    std::vector<std::pair<QStringView, Id>> sorted;
    sorted.reserve(m_values.size());
    for (Id id = 0; id < m_values.size(); ++id)
        sorted.emplace_back(m_values[id].folded, id);
    std::sort(sorted.begin(), sorted.end(), [this](const auto &a, const auto &b) {
        if (const int order = a.first.compare(b.first); order != 0)
            return order < 0;
        return *m_values[a.second].text < *m_values[b.second].text;
    });
    m_order.reserve(sorted.size());
    for (const auto &value : sorted)
        m_order.push_back(value.second);
    m_read = true;
    endResetModel();
}

int ColumnValues::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

QVariant ColumnValues::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Value &value = m_values[m_order[static_cast<std::size_t>(index.row())]];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(*value.text);
    case FoldedRole:
        return value.folded;
    default:
        return {};
    }
}

ColumnValues::Id ColumnValues::use(std::string_view value, bool tell)
{
    if (value.empty())
        return noValue;
    if (const auto known = m_ids.find(value); known != m_ids.end()) {
        ++m_values[known->second].uses;
        return known->second;
    }
    Id id = static_cast<Id>(m_values.size());
    if (!m_unused.empty()) {
        id = m_unused.back();
        m_unused.pop_back();
    } else {
        m_values.emplace_back();
    }
    const auto added = m_ids.emplace(std::string(value), id).first;
    m_values[id] = {&added->first, foldUtf8(value), 1};
    if (tell) {
        const auto at = std::lower_bound(m_order.begin(), m_order.end(), id,
                                         [this](Id a, Id b) { return before(a, b); });
        const int row = static_cast<int>(at - m_order.begin());
        beginInsertRows({}, row, row);
        m_order.insert(at, id);
        endInsertRows();
    }
    return id;
}

void ColumnValues::release(Id id)
{
    if (id == noValue || --m_values[id].uses > 0)
        return;
    const auto at = std::lower_bound(m_order.begin(), m_order.end(), id,
                                     [this](Id a, Id b) { return before(a, b); });
    const int row = static_cast<int>(at - m_order.begin());
    beginRemoveRows({}, row, row);
    m_order.erase(at);
    endRemoveRows();
    m_ids.erase(*m_values[id].text);
    m_values[id] = {};
    m_unused.push_back(id);
}

bool ColumnValues::before(Id a, Id b) const
{
    const Value &x = m_values[a];
    const Value &y = m_values[b];
    if (const int order = x.folded.compare(y.folded); order != 0)
        return order < 0;
    return *x.text < *y.text;
}

std::string_view ColumnValues::valueAt(std::size_t row) const
{
    return m_table.storedValue(row, m_field);
}

void ColumnValues::valueChanged(std::size_t row, std::size_t field)
{
    if (!m_read || field != m_field)
        return;
    if (row >= m_rowIds.size())
        return forget();
    const Id was = m_rowIds[row];
    // Counted before the old one is let go: a value written again unchanged keeps its row.
    m_rowIds[row] = use(valueAt(row), true);
    release(was);
}

void ColumnValues::rowInserted(std::size_t row)
{
    if (!m_read)
        return;
    if (row > m_rowIds.size())
        return forget();
    m_rowIds.insert(m_rowIds.begin() + row, use(valueAt(row), true));
}

void ColumnValues::rowRemoved(std::size_t row)
{
    if (!m_read)
        return;
    if (row >= m_rowIds.size())
        return forget();
    const Id was = m_rowIds[row];
    m_rowIds.erase(m_rowIds.begin() + row);
    release(was);
}

void ColumnValues::forget()
{
    beginResetModel();
    m_read = false;
    m_ids.clear();
    m_values.clear();
    m_unused.clear();
    m_order.clear();
    m_rowIds.clear();
    endResetModel();
}

} // namespace gui

#include "model/Table.h"

#include "model/Encoding.h"
#include "model/NumberText.h"
#include "model/Plural.h"
#include "platform/Error.h"
#include "platform/NativeMemory.h"

#include <algorithm>
#include <limits>

namespace data {

Table::Table(Schema schema)
    : m_schema(std::move(schema))
{
}

std::size_t Table::recordCount() const
{
    return m_rows.size() - (m_state == TableState::Insert ? 1 : 0);
}

std::string Table::text(std::size_t row, std::size_t field) const
{
    const std::string_view stored = m_rows[row].value(field);
    if (m_schema[field].isNumber())
        return displayNumberText(stored);
    return std::string(stored);
}

std::optional<double> Table::number(std::size_t row, std::size_t field) const
{
    return storedNumberValue(m_rows[row].value(field));
}

void Table::setText(std::size_t field, std::string_view text)
{
    checkActive();
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        throw Error("Zapis nije u stanju uređivanja.");
    const std::string stored = storedFromTyped(field, text);
    m_rows[m_current].setValue(field, stored);
    m_modified = true;
    m_typed = m_typed || !m_rulesWriting;
    notify([&](TableObserver &o) { o.valueChanged(m_current, field); });
}

std::string Table::storedFromTyped(std::size_t field, std::string_view text) const
{
    if (!m_schema[field].isNumber())
        return sanitizeText(text);
    const std::optional<double> value = parseTypedNumber(text);
    return value ? storedNumberText(*value) : std::string();
}

void Table::edit()
{
    checkActive();
    if (m_state != TableState::Browse)
        return;
    if (m_rows.empty()) {
        insert();
        return;
    }
    m_modified = false;
    m_editedFrom = m_rows[m_current];
    setState(TableState::Edit);
}

void Table::commit()
{
    checkActive();
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        return;
    if (m_typedInput)
        m_typedInput->handOver();
    store();
}

void Table::cancelEdit()
{
    if (m_state == TableState::Edit && !m_modified)
        setState(TableState::Browse);
}

void Table::store()
{
    std::vector<std::string> keptBefore = keptValues();
    if (m_rules)
        m_rules->beforeCommit(*this);
    const Record &record = m_rows[m_current];
    if (m_state == TableState::Insert)
        addStep(StepKind::RecordAdded,
                {{m_keys[m_current], m_ids[m_current], std::nullopt, record}},
                std::move(keptBefore));
    else if (m_editedFrom && !(*m_editedFrom == record))
        addStep(StepKind::RecordChanged,
                {{m_keys[m_current], m_ids[m_current], *m_editedFrom, record}},
                std::move(keptBefore));
    m_editedFrom.reset();
    // Values are written in place, so storing is only leaving the edit state.
    m_modified = false;
    markChanged();
    setState(TableState::Browse);
}

void Table::endEdit()
{
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        return;
    if (m_typedInput)
        m_typedInput->handOver();
    if (m_modified) {
        store();
    } else if (m_state == TableState::Insert) {
        dropBegunRecord();
    } else {
        m_editedFrom.reset();
        setState(TableState::Browse);
    }
}

void Table::eraseCurrentRow()
{
    const std::size_t row = m_current;
    notify([&](TableObserver &o) { o.rowAboutToBeRemoved(row); });
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
    m_keys.erase(m_keys.begin() + static_cast<std::ptrdiff_t>(row));
    m_ids.erase(m_ids.begin() + static_cast<std::ptrdiff_t>(row));
    m_modified = false;
    m_editedFrom.reset();
    m_state = TableState::Browse;
    // The record that followed is current; after the last, the new last. Observers may read
    // the table from the first notification on, so the cursor is right before any of them.
    m_current = std::min(row, m_rows.empty() ? 0 : m_rows.size() - 1);
    m_atEnd = m_rows.empty();
    notify([&](TableObserver &o) { o.rowRemoved(row); });
    notify([](TableObserver &o) { o.currentChanged(); });
    notify([](TableObserver &o) { o.stateChanged(); });
}

void Table::dropBegunRecord()
{
    // The record that was current before the insert sits where the begun one was.
    eraseCurrentRow();
}

void Table::insert()
{
    checkActive();
    endEdit();
    const std::size_t row = m_rows.empty() ? 0 : m_current;
    notify([&](TableObserver &o) { o.rowAboutToBeInserted(row); });
    const RowKey key = keyFor(row);
    m_lastBegunKey = key;
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), Record(m_schema.size()));
    m_keys.insert(m_keys.begin() + static_cast<std::ptrdiff_t>(row), key);
    m_ids.insert(m_ids.begin() + static_cast<std::ptrdiff_t>(row), m_nextId++);
    m_modified = false;
    m_typed = false;
    m_state = TableState::Insert;
    m_current = row;
    m_atEnd = false;
    notify([&](TableObserver &o) { o.rowInserted(row); });
    notify([](TableObserver &o) { o.currentChanged(); });
    notify([](TableObserver &o) { o.stateChanged(); });
    if (m_rules) {
        m_rulesWriting = true;
        try {
            m_rules->recordBegun(*this);
        } catch (...) {
            m_rulesWriting = false;
            throw;
        }
        m_rulesWriting = false;
    }
}

void Table::remove()
{
    checkActive();
    if (m_state == TableState::Insert) {
        dropBegunRecord();
        return;
    }
    if (m_rows.empty())
        throw Error("Tablica nema zapisa za brisanje.");
    // Recorded first: observers told of the removal can already offer to take it back.
    const std::size_t row = m_current;
    addStep(StepKind::RecordsRemoved, {{m_keys[row], m_ids[row], m_rows[row], std::nullopt}},
            keptValues());
    markChanged();
    eraseCurrentRow();
}

void Table::dropUntypedBegunRecord()
{
    // Typed text still in a control counts as typed.
    if (m_typedInput && m_state != TableState::Browse)
        m_typedInput->handOver();
    if (isBegunRecordUntyped())
        dropBegunRecord();
}

void Table::appendRecords(std::vector<Record> records)
{
    checkActive();
    for (const Record &r : records) {
        if (r.fieldCount() != m_schema.size())
            throw Error("Zapis ne odgovara tablici.");
    }
    endEdit();
    if (records.empty())
        return;
    const std::size_t first = m_rows.size();
    const auto lastKey = [this] { return m_keys.empty() ? RowKey(0) : m_keys.back(); };
    if (lastKey() / keyGap + records.size() >= std::numeric_limits<RowKey>::max() / keyGap)
        renumberKeys();
    const RowKey firstKey = lastKey() + keyGap;
    std::vector<RowChange> changes;
    changes.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        changes.push_back({firstKey + i * keyGap, m_nextId + i, std::nullopt, records[i]});
    addStep(StepKind::Imported, std::move(changes), keptValues());
    markChanged();
    const auto add = [&](std::size_t i) {
        m_rows.push_back(std::move(records[i]));
        m_keys.push_back(firstKey + i * keyGap);
        m_ids.push_back(m_nextId + i);
    };
    if (records.size() > rowByRowLimit) {
        resetRows([&] {
            m_rows.reserve(m_rows.size() + records.size());
            for (std::size_t i = 0; i < records.size(); ++i)
                add(i);
            m_current = first;
            m_atEnd = false;
        });
    } else {
        for (std::size_t i = 0; i < records.size(); ++i) {
            const std::size_t row = m_rows.size();
            notify([&](TableObserver &o) { o.rowAboutToBeInserted(row); });
            add(i);
            notify([&](TableObserver &o) { o.rowInserted(row); });
        }
        setCurrent(first, false);
    }
    m_nextId += records.size();
}

void Table::fill(std::size_t field, const std::vector<std::size_t> &rows,
                 const std::vector<std::string> &texts)
{
    checkActive();
    if (rows.size() != texts.size())
        throw Error("Broj vrijednosti ne odgovara broju ćelija.");
    endEdit();
    // Every value is read before any is written: a refusal changes nothing.
    std::vector<RowChange> changes;
    const std::size_t limit = m_schema[field].maxLength;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] >= m_rows.size())
            throw Error("Ćelija nije u tablici.");
        // A step of many rows is applied in the order of their keys.
        if (i > 0 && rows[i] <= rows[i - 1])
            throw Error("Ćelije nisu poredane redom.");
        const std::string stored = storedFromTyped(field, texts[i]);
        if (limit > 0 && codePointCount(stored) > limit)
            throw Error("„" + stored + "” je predugačko za to polje: najviše " +
                        characterCount(limit) + ".");
        if (m_rows[rows[i]].value(field) == stored)
            continue;
        Record after = m_rows[rows[i]];
        after.setValue(field, stored);
        changes.push_back({m_keys[rows[i]], m_ids[rows[i]], m_rows[rows[i]], std::move(after)});
    }
    if (changes.empty())
        return;
    addStep(StepKind::CellsFilled, std::move(changes), keptValues());
    apply(m_history.lastDone(), true);
}

void Table::removeAll()
{
    checkActive();
    dropUntypedBegunRecord();
    endEdit();
    if (m_rows.empty())
        return;
    std::vector<RowChange> changes;
    changes.reserve(m_rows.size());
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        changes.push_back({m_keys[row], m_ids[row], std::move(m_rows[row]), std::nullopt});
    addStep(StepKind::Erased, std::move(changes), keptValues());
    markChanged();
    resetRows([this] {
        m_rows.clear();
        m_keys.clear();
        m_ids.clear();
        m_current = 0;
        m_atEnd = true;
    });
}

void Table::first()
{
    checkActive();
    endEdit();
    if (!m_rows.empty())
        setCurrent(0, false);
}

void Table::prior()
{
    checkActive();
    endEdit();
    if (!m_rows.empty())
        setCurrent(m_current > 0 ? m_current - 1 : 0, false);
}

void Table::next()
{
    checkActive();
    endEdit();
    if (m_rows.empty())
        return;
    if (m_current + 1 < m_rows.size())
        setCurrent(m_current + 1, false);
    else
        setCurrent(m_current, true);
}

void Table::last()
{
    checkActive();
    endEdit();
    if (!m_rows.empty())
        setCurrent(m_rows.size() - 1, false);
}

void Table::moveTo(std::size_t row)
{
    checkActive();
    if (row >= m_rows.size() || row == m_current)
        return;
    const std::size_t rowsBefore = m_rows.size();
    const std::size_t leaving = m_current;
    endEdit();
    // Dropping an untouched begun record above the target shifts the target up by one.
    if (m_rows.size() < rowsBefore && leaving < row)
        --row;
    setCurrent(std::min(row, m_rows.size() - 1), false);
}

void Table::close()
{
    if (!isActive())
        return;
    markChanged();
    resetRows([this] {
        m_rows.clear();
        m_keys.clear();
        m_ids.clear();
        m_history.clear();
        m_editedFrom.reset();
        m_current = 0;
        m_atEnd = true;
        m_modified = false;
        m_state = TableState::Inactive;
    });
}

void Table::open()
{
    if (!isActive())
        replaceContent({});
}

void Table::replaceContent(std::vector<Record> records)
{
    markChanged();
    resetRows([&] {
        m_rows = std::move(records);
        if (m_keys.capacity() < m_rows.size()) {
            std::vector<RowKey> keys;
            keys.reserve(m_rows.size());
            native::adviseLargeUse(keys.data(), keys.capacity() * sizeof(RowKey));
            m_keys = std::move(keys);
        }
        m_keys.resize(m_rows.size());
        m_ids.resize(m_rows.size());
        for (std::size_t row = 0; row < m_keys.size(); ++row) {
            m_keys[row] = (row + 1) * keyGap;
            m_ids[row] = m_nextId++;
        }
        m_history.clear();
        m_editedFrom.reset();
        m_current = 0;
        m_atEnd = m_rows.empty();
        m_modified = false;
        m_state = TableState::Browse;
    });
}

void Table::removeRecordsWithEmpty(std::size_t field)
{
    checkActive();
    first();
    const auto hasValue = [field](const Record &r) { return !r.value(field).empty(); };
    std::vector<std::size_t> rows;
    std::vector<RowId> ids;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (!hasValue(m_rows[row])) {
            rows.push_back(row);
            ids.push_back(m_ids[row]);
        }
    }
    const std::vector<bool> hadValue = m_history.anyVersion(ids, hasValue);
    std::vector<RowChange> named;
    std::vector<RowId> unnamed;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (hadValue[i])
            named.push_back({m_keys[rows[i]], ids[i], m_rows[rows[i]], std::nullopt});
        else
            unnamed.push_back(ids[i]);
    }
    if (!named.empty())
        addStep(StepKind::RecordsRemoved, std::move(named), keptValues());
    else if (!unnamed.empty())
        m_history.dropRedo();
    std::sort(unnamed.begin(), unnamed.end());
    m_history.forget(unnamed);
    resetRows([&] {
        if (removeRowsIf([&](std::size_t row) { return !hasValue(m_rows[row]); }) != noRow)
            markChanged();
        m_current = m_rows.empty() ? 0 : m_rows.size() - 1;
        m_atEnd = true;
    });
}

template <typename Gone> std::size_t Table::removeRowsIf(Gone &&gone)
{
    std::size_t to = 0;
    std::size_t firstGone = noRow;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (gone(row)) {
            firstGone = std::min(firstGone, to);
            continue;
        }
        if (to != row) {
            m_rows[to] = std::move(m_rows[row]);
            m_keys[to] = m_keys[row];
            m_ids[to] = m_ids[row];
        }
        ++to;
    }
    m_rows.resize(to);
    m_keys.resize(to);
    m_ids.resize(to);
    return firstGone;
}

void Table::addObserver(TableObserver *observer)
{
    m_observers.push_back(observer);
}

void Table::removeObserver(TableObserver *observer)
{
    std::erase(m_observers, observer);
}

void Table::checkActive() const
{
    if (!isActive())
        throw Error("Tablica nije otvorena.");
}

void Table::setState(TableState state)
{
    if (m_state == state)
        return;
    m_state = state;
    notify([](TableObserver &o) { o.stateChanged(); });
}

void Table::setCurrent(std::size_t row, bool atEnd)
{
    m_current = row;
    m_atEnd = atEnd || m_rows.empty();
    notify([](TableObserver &o) { o.currentChanged(); });
}

} // namespace data

#include "data/Table.h"

#include "data/DatabaseFile.h"
#include "data/Encoding.h"
#include "data/Error.h"
#include "data/NativeMemory.h"
#include "data/NumberText.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace data {

namespace {

// Up to this many rows, an append tells observers row by row; beyond it, one reset is cheaper.
constexpr std::size_t rowByRowLimit = 64;

} // namespace

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
    std::string stored;
    if (m_schema[field].isNumber()) {
        if (auto value = parseTypedNumber(text))
            stored = storedNumberText(*value);
    } else {
        stored = sanitizeText(text);
    }
    m_rows[m_current].setValue(field, stored);
    m_modified = true;
    notify([&](TableObserver &o) { o.valueChanged(m_current, field); });
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
    if (m_rules)
        m_rules->beforeCommit(*this);
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
        setState(TableState::Browse);
    }
}

void Table::eraseCurrentRow()
{
    const std::size_t row = m_current;
    notify([&](TableObserver &o) { o.rowAboutToBeRemoved(row); });
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
    m_ids.erase(m_ids.begin() + static_cast<std::ptrdiff_t>(row));
    m_modified = false;
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
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), Record(m_schema.size()));
    m_ids.insert(m_ids.begin() + static_cast<std::ptrdiff_t>(row), m_nextId++);
    m_modified = false;
    m_state = TableState::Insert;
    m_current = row;
    m_atEnd = false;
    notify([&](TableObserver &o) { o.rowInserted(row); });
    notify([](TableObserver &o) { o.currentChanged(); });
    notify([](TableObserver &o) { o.stateChanged(); });
    if (m_rules)
        m_rules->recordBegun(*this);
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
    m_history.push_back({m_rows[row], m_ids[row], row + 1 < m_ids.size() ? m_ids[row + 1] : 0});
    markChanged();
    eraseCurrentRow();
}

void Table::takeBack()
{
    checkActive();
    if (m_history.empty())
        return;
    endEdit();
    Step step = std::move(m_history.back());
    m_history.pop_back();
    markChanged();
    if (step.appended > 0)
        removeAppended(step);
    else
        restore(std::move(step));
}

void Table::restore(Step step)
{
    std::size_t row = m_rows.size();
    if (step.next != 0)
        row = static_cast<std::size_t>(std::find(m_ids.begin(), m_ids.end(), step.next) -
                                       m_ids.begin());
    notify([&](TableObserver &o) { o.rowAboutToBeInserted(row); });
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), std::move(step.record));
    m_ids.insert(m_ids.begin() + static_cast<std::ptrdiff_t>(row), step.id);
    m_current = row;
    m_atEnd = false;
    notify([&](TableObserver &o) { o.rowInserted(row); });
    notify([](TableObserver &o) { o.currentChanged(); });
}

void Table::removeAppended(const Step &step)
{
    const auto appended = [&](RowId id) { return id >= step.id && id - step.id < step.appended; };
    resetRows([&] {
        const std::size_t firstGone =
            removeRowsIf([&](std::size_t row) { return appended(m_ids[row]); }, [](std::size_t) {});
        // The record that followed the first one taken away, or the new last.
        m_current = m_rows.empty() ? 0 : std::min(firstGone, m_rows.size() - 1);
        m_atEnd = m_rows.empty();
    });
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
    m_history.push_back({Record(), m_nextId, 0, records.size()});
    markChanged();
    const auto add = [this](Record &r) {
        m_rows.push_back(std::move(r));
        m_ids.push_back(m_nextId++);
    };
    if (records.size() > rowByRowLimit) {
        resetRows([&] {
            m_rows.reserve(m_rows.size() + records.size());
            for (Record &r : records)
                add(r);
            m_current = first;
            m_atEnd = false;
        });
        return;
    }
    for (Record &r : records) {
        const std::size_t row = m_rows.size();
        notify([&](TableObserver &o) { o.rowAboutToBeInserted(row); });
        add(r);
        notify([&](TableObserver &o) { o.rowInserted(row); });
    }
    setCurrent(first, false);
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
        m_ids.clear();
        m_history.clear();
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
        if (m_ids.capacity() < m_rows.size()) {
            std::vector<RowId> ids;
            ids.reserve(m_rows.size());
            native::adviseLargeUse(ids.data(), ids.capacity() * sizeof(RowId));
            m_ids = std::move(ids);
        }
        m_ids.resize(m_rows.size());
        std::iota(m_ids.begin(), m_ids.end(), m_nextId);
        m_nextId += m_rows.size();
        m_history.clear();
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
    std::vector<RowId> purged;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row].value(field).empty())
            purged.push_back(m_ids[row]);
    }
    std::sort(purged.begin(), purged.end());
    repointSteps(purged);
    resetRows([&] {
        const auto gone = [&](std::size_t row) { return m_rows[row].value(field).empty(); };
        if (removeRowsIf(gone, [](std::size_t) {}) != noRow)
            markChanged();
        m_current = m_rows.empty() ? 0 : m_rows.size() - 1;
        m_atEnd = true;
    });
}

void Table::repointSteps(const std::vector<RowId> &purged)
{
    const auto isPurged = [&](RowId id) {
        return std::binary_search(purged.begin(), purged.end(), id);
    };
    if (std::none_of(m_history.begin(), m_history.end(),
                     [&](const Step &s) { return s.appended == 0 && isPurged(s.next); }))
        return;
    // The order of every row and every removed record, as if each step were taken back, newest
    // first: a record that a later step brings back may stand between a purged row and the
    // next kept one.
    std::unordered_map<RowId, std::pair<RowId, RowId>> links; // previous, next; 0 for none
    RowId tail = 0;
    const auto insertBefore = [&](RowId id, RowId next) {
        if (next == 0 || !links.contains(next)) {
            links[id] = {tail, 0};
            if (tail != 0)
                links[tail].second = id;
            tail = id;
            return;
        }
        const RowId previous = links[next].first;
        links[id] = {previous, next};
        links[next].first = id;
        if (previous != 0)
            links[previous].second = id;
    };
    for (const RowId id : m_ids)
        insertBefore(id, 0);
    std::unordered_map<RowId, std::size_t> removedAt; // a removed record's step
    for (std::size_t h = m_history.size(); h-- > 0;) {
        if (m_history[h].appended == 0) {
            insertBefore(m_history[h].id, m_history[h].next);
            removedAt[m_history[h].id] = h;
        }
    }
    // A step goes back before the first record that is there when it is taken back: a row kept
    // and not appended later, or a record a later step has brought back.
    const auto thereAt = [&](RowId id, std::size_t h) {
        if (const auto removed = removedAt.find(id); removed != removedAt.end())
            return removed->second > h;
        if (isPurged(id))
            return false;
        for (std::size_t g = h + 1; g < m_history.size(); ++g) {
            const Step &s = m_history[g];
            if (s.appended > 0 && id >= s.id && id - s.id < s.appended)
                return false;
        }
        return true;
    };
    for (std::size_t h = 0; h < m_history.size(); ++h) {
        Step &step = m_history[h];
        if (step.appended > 0 || !isPurged(step.next))
            continue;
        RowId next = step.next;
        while (next != 0 && !thereAt(next, h))
            next = links[next].second;
        step.next = next;
    }
}

template <typename Gone, typename Kept> std::size_t Table::removeRowsIf(Gone &&gone, Kept &&kept)
{
    std::size_t to = 0;
    std::size_t firstGone = noRow;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (gone(row)) {
            firstGone = std::min(firstGone, to);
            continue;
        }
        kept(row);
        if (to != row) {
            m_rows[to] = std::move(m_rows[row]);
            m_ids[to] = m_ids[row];
        }
        ++to;
    }
    m_rows.resize(to);
    m_ids.resize(to);
    return firstGone;
}

void Table::loadFromFile(const std::string &fileName)
{
    replaceContent(readDatabaseFile(fileName, m_schema));
}

void Table::saveToFile(const std::string &fileName) const
{
    checkActive();
    writeDatabaseFile(fileName, m_schema, m_rows,
                      m_state == TableState::Insert ? m_current : noRow);
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

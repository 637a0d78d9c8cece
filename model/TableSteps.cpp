#include "model/Table.h"

#include "platform/Error.h"

#include <algorithm>
#include <limits>

// The table's side of the history: recording steps, taking them back and doing them again, and
// the keys that keep every row's place for them.
namespace data {

std::optional<std::size_t> Table::undo()
{
    checkActive();
    dropUntypedBegunRecord();
    endEdit();
    if (!m_history.canUndo())
        return std::nullopt;
    Step &step = m_history.stepBack();
    step.rulesAfter = keptValues();
    const Touched touched = apply(step, false);
    if (m_rules)
        m_rules->restoreKeptValues(step.rulesBefore);
    return touched.field;
}

std::optional<std::size_t> Table::redo()
{
    checkActive();
    dropUntypedBegunRecord();
    endEdit();
    if (!m_history.canRedo())
        return std::nullopt;
    Step &step = m_history.stepForward();
    const Touched touched = apply(step, true);
    if (m_rules && step.rulesAfter)
        m_rules->restoreKeptValues(*step.rulesAfter);
    return touched.field;
}

Table::Touched Table::apply(const Step &step, bool forward)
{
    markChanged();
    Touched touched{noRow, 0};
    if (step.rows.size() > rowByRowLimit) {
        resetRows([&] { touched = applyMerged(step, forward); });
    } else {
        for (const RowChange &change : step.rows)
            applyRow(change, forward, touched);
    }
    m_current = m_rows.empty() ? 0 : std::min(touched.row, m_rows.size() - 1);
    m_atEnd = m_rows.empty();
    notify([](TableObserver &o) { o.currentChanged(); });
    return touched;
}

Table::Touched Table::applyMerged(const Step &step, bool forward)
{
    // Rows and changes are both in key order: one pass over each, however many there are.
    std::vector<Record> rows;
    std::vector<RowKey> keys;
    std::vector<RowId> ids;
    const std::size_t most = m_rows.size() + step.rows.size();
    rows.reserve(most);
    keys.reserve(most);
    ids.reserve(most);
    Touched touched{noRow, 0};
    std::size_t row = 0;
    for (const RowChange &change : step.rows) {
        for (; row < m_rows.size() && m_keys[row] < change.key; ++row) {
            rows.push_back(std::move(m_rows[row]));
            keys.push_back(m_keys[row]);
            ids.push_back(m_ids[row]);
        }
        const std::optional<Record> &to = forward ? change.after : change.before;
        const bool there = row < m_rows.size() && m_keys[row] == change.key;
        if ((forward ? change.before : change.after).has_value() != there)
            throw Error("Povijest promjena ne odgovara tablici.");
        if (touched.row == noRow) {
            touched.row = rows.size();
            for (std::size_t f = 0; there && to && f < m_schema.size(); ++f) {
                if (m_rows[row].value(f) != to->value(f)) {
                    touched.field = f;
                    break;
                }
            }
        }
        row += there ? 1 : 0;
        if (to) {
            rows.push_back(*to);
            keys.push_back(change.key);
            ids.push_back(change.id);
        }
    }
    for (; row < m_rows.size(); ++row) {
        rows.push_back(std::move(m_rows[row]));
        keys.push_back(m_keys[row]);
        ids.push_back(m_ids[row]);
    }
    m_rows = std::move(rows);
    m_keys = std::move(keys);
    m_ids = std::move(ids);
    return touched;
}

void Table::applyRow(const RowChange &change, bool forward, Touched &touched)
{
    const std::optional<Record> &from = forward ? change.before : change.after;
    const std::optional<Record> &to = forward ? change.after : change.before;
    const std::size_t row = rowOf(change.key);
    const bool first = touched.row == noRow;
    if (first)
        touched.row = row;
    if (from && to) {
        std::vector<std::size_t> changed;
        for (std::size_t f = 0; f < m_schema.size(); ++f) {
            if (from->value(f) != to->value(f))
                changed.push_back(f);
        }
        m_rows[row] = *to;
        if (first && !changed.empty())
            touched.field = changed.front();
        for (std::size_t f : changed) {
            notify([&](TableObserver &o) { o.valueChanged(row, f); });
        }
    } else if (to) {
        notify([&](TableObserver &o) { o.rowAboutToBeInserted(row); });
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), *to);
        m_keys.insert(m_keys.begin() + static_cast<std::ptrdiff_t>(row), change.key);
        m_ids.insert(m_ids.begin() + static_cast<std::ptrdiff_t>(row), change.id);
        notify([&](TableObserver &o) { o.rowInserted(row); });
    } else if (from) {
        if (row >= m_rows.size() || m_keys[row] != change.key)
            throw Error("Povijest promjena ne odgovara tablici.");
        notify([&](TableObserver &o) { o.rowAboutToBeRemoved(row); });
        m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
        m_keys.erase(m_keys.begin() + static_cast<std::ptrdiff_t>(row));
        m_ids.erase(m_ids.begin() + static_cast<std::ptrdiff_t>(row));
        // The record that followed is current, as after a deletion.
        m_current = std::min(row, m_rows.empty() ? 0 : m_rows.size() - 1);
        notify([&](TableObserver &o) { o.rowRemoved(row); });
    }
}

RowKey Table::keyFor(std::size_t row)
{
    for (;;) {
        const RowKey low = row > 0 ? m_keys[row - 1] : 0;
        if (row == m_keys.size()) {
            if (low <= std::numeric_limits<RowKey>::max() - keyGap)
                return low + keyGap;
        } else if (const RowKey high = m_keys[row]; high - low >= 2) {
            // Next to the record begun last, a small step away from it: records typed one after
            // another at one place, before or after each other, take little of the room there.
            // Elsewhere, the middle.
            const RowKey step = std::min((high - low) / 2, insertStep);
            if (high == m_lastBegunKey)
                return high - step;
            return low == m_lastBegunKey ? low + step : low + (high - low) / 2;
        }
        renumberKeys();
    }
}

void Table::renumberKeys()
{
    std::vector<RowKey> all = m_keys;
    m_history.forEachKey([&](RowKey &key) { all.push_back(key); });
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    const RowKey gap = std::min(keyGap, std::numeric_limits<RowKey>::max() / (all.size() + 2));
    const auto renumbered = [&](RowKey &key) {
        const auto rank = std::lower_bound(all.begin(), all.end(), key) - all.begin();
        key = (static_cast<RowKey>(rank) + 1) * gap;
    };
    for (RowKey &key : m_keys)
        renumbered(key);
    m_history.forEachKey(renumbered);
}

std::size_t Table::rowOf(RowKey key) const
{
    return static_cast<std::size_t>(std::lower_bound(m_keys.begin(), m_keys.end(), key) -
                                    m_keys.begin());
}

void Table::addStep(StepKind kind, std::vector<RowChange> rows,
                    std::vector<std::string> rulesBefore)
{
    m_history.add({kind, std::move(rows), std::move(rulesBefore), std::nullopt});
}

std::vector<std::string> Table::keptValues() const
{
    return m_rules ? m_rules->keptValues() : std::vector<std::string>();
}

} // namespace data

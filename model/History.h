#pragma once

#include "model/Record.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace data {

// A row's place in the table's order, kept by the row for its whole life: rows are always in
// ascending order of their keys, so a row taken back goes exactly where it was, whatever rows
// came and went since.
using RowKey = std::uint64_t;
// Who a row is: never given to another row, where a key may be once its row is gone.
using RowId = std::uint64_t;

// What a step of the history did, as the window names it.
enum class StepKind {
    RecordChanged,  // a stored record's commit
    RecordAdded,    // a new record's commit
    RecordsRemoved, // a deletion, or records whose name was cleared removed at a save
    CellsFilled,    // one value or one line each written into several records
    Imported,       // a supplier's list appended
    Erased,         // every record removed at once
};

struct StepSummary {
    StepKind kind = StepKind::RecordChanged;
    std::size_t records = 0;
};

// One row's change: without `before` the row was added, without `after` removed.
struct RowChange {
    RowKey key = 0;
    RowId id = 0;
    std::optional<Record> before;
    std::optional<Record> after;
};

struct Step {
    StepKind kind = StepKind::RecordChanged;
    std::vector<RowChange> rows;                        // in ascending key order
    std::vector<std::string> rulesBefore;               // the record rules' values before the step
    std::optional<std::vector<std::string>> rulesAfter; // and after, once it was taken back
};

// The steps of changes to one table, oldest first, with those taken back after the last done.
// It keeps what each step changed, not copies of the table; the oldest go beyond a limit.
class History {
public:
    static constexpr std::size_t stepLimit = 500;

    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_steps.size(); }
    std::optional<StepSummary> undoSummary() const;
    std::optional<StepSummary> redoSummary() const;

    // A new step: the steps taken back can no longer be done again.
    void add(Step step);
    // The last step done, now taken back; valid until the history changes.
    Step &stepBack();
    // The last step done.
    const Step &lastDone() const { return m_steps[m_done - 1]; }
    // The first step taken back, now done again.
    Step &stepForward();
    void dropRedo();
    void clear();

    // For each of the rows `ids`, whether a step done holds a version of it for which `test`
    // holds.
    std::vector<bool> anyVersion(const std::vector<RowId> &ids,
                                 const std::function<bool(const Record &)> &test) const;
    // Forgets every change of the rows `ids` (ascending), and the steps left without any.
    void forget(const std::vector<RowId> &ids);
    // Calls f(key) for every key a step holds, so that keys can be numbered anew.
    void forEachKey(const std::function<void(RowKey &)> &f);

private:
    std::deque<Step> m_steps;
    std::size_t m_done = 0;
};

} // namespace data

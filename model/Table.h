#pragma once

#include "model/History.h"
#include "model/Record.h"
#include "model/Schema.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace data {

constexpr std::size_t noRow = std::numeric_limits<std::size_t>::max();

enum class TableState {
    Inactive, // closed, holds no records
    Browse,   // open, the current record has no pending change
    Edit,     // an existing record is being changed
    Insert,   // a begun record: new and not yet committed
};

// Told of every change, so a view never has to redo everything. Rows are positions in the table
// as a view shows them: the begun record, while there is one, is a row at its place.
class TableObserver {
public:
    virtual ~TableObserver() = default;
    virtual void valueChanged(std::size_t /*row*/, std::size_t /*field*/) {}
    // Each "about to" comes while the table still shows the old rows, as Qt's models need.
    virtual void rowAboutToBeInserted(std::size_t /*row*/) {}
    virtual void rowInserted(std::size_t /*row*/) {}
    virtual void rowAboutToBeRemoved(std::size_t /*row*/) {}
    virtual void rowRemoved(std::size_t /*row*/) {}
    virtual void currentChanged() {}
    virtual void stateChanged() {}
    // The whole content changes: load, create, purge, close.
    virtual void aboutToReset() {}
    virtual void reset() {}
};

class Table;

// What the table's owner adds to a record's life; the table calls it at these two moments.
class RecordRules {
public:
    virtual ~RecordRules() = default;
    // Before a commit stores the current record.
    virtual void beforeCommit(const Table &table) = 0;
    // After insert() has begun a record, which may be written.
    virtual void recordBegun(Table &table) = 0;
    // What the rules keep from record to record, so that taking back a step restores it.
    virtual std::vector<std::string> keptValues() const { return {}; }
    virtual void restoreKeptValues(const std::vector<std::string> & /*values*/) {}

protected:
    RecordRules() = default;
    RecordRules(const RecordRules &) = default;
    RecordRules &operator=(const RecordRules &) = default;
};

// Typed text the table has not taken yet: a control's, or that of every control bound to the
// table.
class TypedInput {
public:
    virtual ~TypedInput() = default;
    virtual bool hasPendingInput() const = 0;
    // Hands the typed text to the current record; the table asks before every commit and cursor
    // move. Throws data::Error to refuse (a number that does not parse): the text stays where it
    // is, and the commit or move does not happen.
    virtual void handOver() = 0;
};

// A table of records over a fixed schema, with one cursor, an edit state and the record
// operations. Operations on a closed table throw data::Error, except close(), open(),
// isActive() and state().
class Table {
public:
    explicit Table(Schema schema);

    const Schema &schema() const { return m_schema; }
    std::size_t fieldCount() const { return m_schema.size(); }
    std::optional<std::size_t> fieldIndex(std::string_view name) const
    {
        return m_schema.indexOf(name);
    }

    TableState state() const { return m_state; }
    bool isActive() const { return m_state != TableState::Inactive; }

    // Stored records; a begun record is not counted.
    std::size_t recordCount() const;
    // Rows a view shows: the stored records and the begun record.
    std::size_t rowCount() const { return m_rows.size(); }
    // The current row; meaningless when rowCount() is 0.
    std::size_t currentRow() const { return m_current; }
    bool atEnd() const { return m_atEnd; }
    bool isModified() const { return m_modified; }
    // Grows whenever the stored content changes (a commit, a removal, a load, a reset), so a
    // copy made at one count holds everything the table held then.
    std::uint64_t changeCount() const { return m_changeCount; }
    // True while the begun record sits at `row`.
    bool isBegunRow(std::size_t row) const
    {
        return m_state == TableState::Insert && row == m_current;
    }
    // Where the begun record sits, or noRow: the row a file of stored records leaves out.
    std::size_t begunRow() const { return m_state == TableState::Insert ? m_current : noRow; }

    // Value of `field` in `row` as text: the text itself, or a number with a decimal comma.
    std::string text(std::size_t row, std::size_t field) const;
    std::string text(std::size_t field) const { return text(m_current, field); }
    // The stored form (numbers with a dot), as the database file holds it.
    std::string_view storedValue(std::size_t row, std::size_t field) const
    {
        return m_rows[row].value(field);
    }
    std::optional<double> number(std::size_t row, std::size_t field) const;

    // Sets `field` of the current record from text, in state Edit or Insert: text is cleaned of
    // control characters, a number field parses it (see parseTypedNumber; a refused text throws
    // and the field keeps its value). Every write is a pending change.
    void setText(std::size_t field, std::string_view text);
    // The stored form of typed text for `field`, as setText stores it; throws as setText does.
    std::string storedFromTyped(std::size_t field, std::string_view text) const;

    // Browse -> Edit on a record; on an open table without any row, begins a record instead.
    void edit();
    // Commits the pending change: hand-over, the record rules' beforeCommit, store, Browse,
    // notify. Does nothing in Browse.
    void commit();
    // Leaves state Edit when nothing was written: there is nothing to undo, so no commit and no
    // record rules. Does nothing in any other case.
    void cancelEdit();
    // Ends the current record as a cursor move does, then begins an empty record ahead of it.
    void insert();
    // Drops a begun record, or removes the current record with any pending change; the removal
    // of a stored record is a step of the history.
    void remove();

    void first();
    void prior();
    void next();
    void last();
    // Moves the cursor to `row` (a row as shown before the move) like the moves above.
    void moveTo(std::size_t row);
    // Ends the current record as a cursor move does (commits a pending change, drops an
    // untouched begun record) without moving.
    void endEdit();

    void close();
    // Opens an empty table when closed; nothing when open.
    void open();
    // Replaces the whole content with `records` and opens the table on the first record.
    void replaceContent(std::vector<Record> records);
    // Deletes, in one pass, every stored record whose `field` is exactly empty text. Ends the
    // current record first; afterwards the last remaining record is current and atEnd() holds.
    // Records that once had a value there go in one deletion step; steps about the others are
    // forgotten with them.
    void removeRecordsWithEmpty(std::size_t field);

    // The history of changes: every commit, deletion, import, fill and erase is one step.
    // replaceContent (so every load) and close end it.
    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }
    std::optional<StepSummary> undoSummary() const { return m_history.undoSummary(); }
    std::optional<StepSummary> redoSummary() const { return m_history.redoSummary(); }
    // Takes back the last step, or does again the last one taken back, without the record
    // rules, and restores what they kept. A begun record nothing was typed into is dropped
    // first, any other pending change committed as a cursor move does (a refused hand-over
    // throws, and nothing is taken back). The record the step touched becomes current; returns
    // the first field it changed there, or nothing when there was no step.
    std::optional<std::size_t> undo();
    std::optional<std::size_t> redo();
    // Ends the current record as a cursor move does, then adds `records` after the last record
    // as committed records, without the record rules, in one step; the first of them becomes
    // current.
    void appendRecords(std::vector<Record> records);
    // Removes every record in one step; a begun record nothing was typed into goes first.
    void removeAll();
    // Writes `texts[i]` into `field` of row `rows[i]` (rows in ascending order, each once, or it
    // throws), each read as setText reads typed text, in one step and without the record rules.
    // Ends the current record first. A text refused, or too long for the field, throws and nothing
    // changes.
    void fill(std::size_t field, const std::vector<std::size_t> &rows,
              const std::vector<std::string> &texts);
    // True while the begun record holds only what the record rules wrote into it.
    bool isBegunRecordUntyped() const { return m_state == TableState::Insert && !m_typed; }

    // Records as stored; while a record is begun, it is among them (see isBegunRow).
    const std::vector<Record> &rows() const { return m_rows; }

    // Who the table calls itself at a record's turning points; none by default. Neither is
    // owned, and each must outlive the table or be unset first.
    void setRecordRules(RecordRules *rules) { m_rules = rules; }
    void setTypedInput(TypedInput *input) { m_typedInput = input; }

    // Observers are told in the order they were added; none may be added or removed while they
    // are being told.
    void addObserver(TableObserver *observer);
    void removeObserver(TableObserver *observer);

private:
    // Up to this many rows, a change tells observers row by row; beyond it, one reset is cheaper.
    static constexpr std::size_t rowByRowLimit = 64;
    // Room between the keys of rows loaded or appended one after another, and the most a row
    // begun before another takes of the room there: many records typed at one place fit.
    static constexpr RowKey keyGap = RowKey(1) << 32;
    static constexpr RowKey insertStep = RowKey(1) << 16;

    struct Touched {
        std::size_t row = 0;
        std::size_t field = 0;
    };

    void checkActive() const;
    void markChanged() { ++m_changeCount; }
    // Removes in one pass the rows for which gone(row) holds; returns where the first removed
    // row was, counted in kept rows, or noRow.
    template <typename Gone> std::size_t removeRowsIf(Gone &&gone);
    // A key for a row placed at `row`, before the row there now (after the last at the end).
    RowKey keyFor(std::size_t row);
    // Spreads the keys of the rows and the history evenly again, in the same order.
    void renumberKeys();
    std::size_t rowOf(RowKey key) const;
    void addStep(StepKind kind, std::vector<RowChange> rows, std::vector<std::string> rulesBefore);
    std::vector<std::string> keptValues() const;
    // One side of a step: after it when `forward`, before it otherwise.
    Touched apply(const Step &step, bool forward);
    void applyRow(const RowChange &change, bool forward, Touched &touched);
    // The same for many rows at once, in one pass; observers are told by a reset.
    Touched applyMerged(const Step &step, bool forward);
    void dropUntypedBegunRecord();
    // The record rules' beforeCommit, store, Browse; the hand-over has been done.
    void store();
    void setState(TableState state);
    void setCurrent(std::size_t row, bool atEnd);
    void dropBegunRecord();
    void eraseCurrentRow();
    // Replaces the rows, telling the observers before and after.
    template <typename F> void resetRows(F &&change)
    {
        notify([](TableObserver &o) { o.aboutToReset(); });
        change();
        notify([](TableObserver &o) { o.reset(); });
    }

    template <typename F> void notify(F &&f)
    {
        for (auto *o : m_observers)
            f(*o);
    }

    Schema m_schema;
    std::vector<Record> m_rows;
    std::size_t m_current = 0;
    bool m_atEnd = true;
    bool m_modified = false;
    TableState m_state = TableState::Inactive;
    std::uint64_t m_changeCount = 0;
    std::vector<TableObserver *> m_observers;
    RecordRules *m_rules = nullptr;
    TypedInput *m_typedInput = nullptr;
    bool m_typed = false; // something was written into the begun record but the rules
    bool m_rulesWriting = false;
    std::optional<Record> m_editedFrom; // the stored record as it was when its edit began
    std::vector<RowKey> m_keys;         // one per row, ascending
    std::vector<RowId> m_ids;           // one per row
    RowId m_nextId = 1;
    RowKey m_lastBegunKey = 0;
    History m_history;
};

} // namespace data

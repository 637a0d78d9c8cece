#pragma once

#include "model/ProductSchema.h"
#include "model/Table.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace data {

// A gentle check of one field: it only ever warns, never refuses or changes a value.
struct CheckRule {
    ProductField field;
    bool (*questionable)(std::string_view stored); // the stored value, numbers with a dot
    const char *reason;                            // Croatian, as the clerk reads it
    // The record's one warning when it applies: its other fields are not checked.
    bool wholeRecord = false;
};

// The reason of the first rule that questions `stored` as a value of `field`, or null. The
// rules are tried in the order of their table in Checks.cpp.
const char *questionValue(ProductField field, std::string_view stored);

// Given on the name of a record whose tariff number, name and catalogue number another record
// has too.
extern const char *const duplicateReason;

// The warnings of every committed record of a product table, kept as the table changes. A
// record is checked when it is committed or loaded, never while it is typed: a record in Edit
// shows what it was committed with, a begun record nothing. Attach it to the table before any
// view's observer, so that views read warnings that match the rows they are told of.
class Checks : public TableObserver {
public:
    explicit Checks(Table &table);
    ~Checks() override;
    Checks(const Checks &) = delete;
    Checks &operator=(const Checks &) = delete;

    // The reason for a warning on `field` of `row`, or null.
    const char *warning(std::size_t row, std::size_t field) const;
    bool hasWarning(std::size_t row) const;
    // Records with at least one warning.
    std::size_t warnedRecordCount() const { return m_fieldWarned + m_duplicateOnly; }
    // The nearest row with a warning after (or before) `row`, wrapping round to `row` itself.
    std::optional<std::size_t> nearestWarned(std::size_t row, bool forward) const;
    // Changes whenever some warning may have changed, so a view knows when to repaint.
    std::uint64_t revision() const { return m_revision; }

    void rowInserted(std::size_t row) override;
    void rowRemoved(std::size_t row) override;
    void valueChanged(std::size_t row, std::size_t field) override;
    void stateChanged() override;
    void reset() override;

private:
    // The records that share a key (tariff number, name, catalogue number).
    struct Group {
        std::uint64_t hash = 0;
        std::size_t keyStart = 0; // in m_keys
        std::size_t keyLength = 0;
        std::uint32_t records = 0;
        std::uint32_t withFieldWarnings = 0; // of those records
    };
    struct RowChecks {
        std::uint64_t rules = 0; // per field five bits: the number of its rule, or 0
        std::uint32_t group = 0; // its index + 1; 0 for a record without a key
    };

    // The field rules of `record`; unless it has no name, its key (the tariff number without
    // its grouping, the name, the catalogue number) goes to the end of m_keys, and true.
    bool checkFields(const Record &record, RowChecks &checks);
    std::uint64_t hashOf(std::size_t keyStart) const;
    void recheck(std::size_t row);
    void checkAll();
    void count(const RowChecks &checks, int sign);
    static std::size_t duplicateOnly(const Group &group);
    bool isDuplicate(const RowChecks &checks) const
    {
        return checks.group && m_groups[checks.group - 1].records > 1;
    }
    // The group of the key at `keyStart` in m_keys, made when there is none; its index + 1.
    std::uint32_t groupOf(std::size_t keyStart, std::size_t keyLength, std::uint64_t hash);
    void dropGroup(std::uint32_t index);
    void resizeSlots(std::size_t groups);

    Table &m_table;
    std::vector<RowChecks> m_rows; // one per table row
    // The groups in a hash table of our own: a load makes a hundred thousand of them, and one
    // allocation each (with a cache miss per look-up on top) would cost more than every rule.
    std::vector<Group> m_groups;
    std::vector<std::uint32_t> m_freeGroups;
    std::string m_keys;                 // every group's key; a dropped group's bytes stay
    std::vector<std::uint64_t> m_slots; // open addressing: hash's top half, group index + 1
    std::size_t m_usedSlots = 0;
    std::size_t m_fieldWarned = 0;
    std::size_t m_duplicateOnly = 0; // duplicates without a field warning
    std::uint64_t m_revision = 0;
};

// F8: moves the cursor to the nearest record with a warning after (or before) the current one,
// wrapping, with the commit rules of any cursor move. Nothing happens on a closed table.
void moveToWarning(Table &table, const Checks &checks, bool forward);

} // namespace data

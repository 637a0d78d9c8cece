#pragma once

#include "model/Table.h"

#include <array>
#include <string>

namespace data {

// The five values a new record takes over from the last committed one, so that a clerk types
// only what changes: supplier, importer, manufacturer, currency and unit.
class CarriedValues : public RecordRules {
public:
    CarriedValues() = default;
    CarriedValues(const CarriedValues &) = default;
    CarriedValues &operator=(const CarriedValues &) = default;

    void clear();
    // Taken from the record about to be committed.
    void beforeCommit(const Table &table) override;
    // Written into the record just begun.
    void recordBegun(Table &table) override;
    std::vector<std::string> keptValues() const override;
    void restoreKeptValues(const std::vector<std::string> &values) override;

private:
    std::array<std::string, 5> m_values;
};

} // namespace data

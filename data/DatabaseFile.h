#pragma once

#include "data/Record.h"
#include "data/Schema.h"

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

// The database file: a client table's XML data packet.
namespace data {

constexpr std::size_t noRow = std::numeric_limits<std::size_t>::max();

// Parses a data packet. The program's schema governs: the file's field definitions are checked
// for plausibility, never used to change it. Throws Error
// `Datoteka "<fileName>" nije ispravna (redak N): <what>` for anything it cannot read as such a
// packet; `fileName` only names the file in that message.
std::vector<Record> parseDataPacket(std::string_view bytes, const Schema &schema,
                                    const std::string &fileName);

// Appends the data packet of `rows` to `out`, leaving out the row at `skipRow`.
void appendDataPacket(std::string &out, const Schema &schema, const std::vector<Record> &rows,
                      std::size_t skipRow = noRow);

// Test seam: while false, every packet takes the full parser's way, never the quick one for
// common files.
void setRowScannerForTesting(bool enabled);
// Test seam: whether the last packet read took the quick way.
bool rowScannerReadLastForTesting();

// Errors name the file with its full path.
std::vector<Record> readDatabaseFile(const std::string &fileName, const Schema &schema);
// Written atomically (see writeFileAtomically).
void writeDatabaseFile(const std::string &fileName, const Schema &schema,
                       const std::vector<Record> &rows, std::size_t skipRow = noRow);

} // namespace data

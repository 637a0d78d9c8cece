#pragma once

#include "model/Record.h"
#include "model/Schema.h"
#include "model/Table.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The database file: the records as an XML data packet.
namespace data {

// Parses a data packet. The program's schema governs: the file's field definitions are checked
// for plausibility, never used to change it. Throws Error
// `Datoteka "<fileName>" nije ispravna (redak N): <what>` for anything it cannot read as such a
// packet; `fileName` only names the file in that message.
std::vector<Record> parseDataPacket(std::string_view bytes, const Schema &schema,
                                    const std::string &fileName);

// Appends the data packet of `rows` to `out`, leaving out the row at `skipRow`: the bytes
// writeDatabaseFile writes, in memory.
void appendDataPacket(std::string &out, const Schema &schema, const std::vector<Record> &rows,
                      std::size_t skipRow = noRow);

// Test seam: while false, every packet takes the full parser's way, never the quick one for
// common files.
void setRowScannerForTesting(bool enabled);
// Test seam: whether the last packet read took the quick way.
bool rowScannerReadLastForTesting();

// Errors name the file with its full path.
std::vector<Record> readDatabaseFile(const std::string &fileName, const Schema &schema);
// Replaces the table's content with the file's records (all or nothing: on failure the table is
// left as it was).
void readDatabase(Table &table, const std::string &fileName);
// The records of an existing file, or nothing when the file surely does not exist. A file whose
// existence cannot be checked is read all the same, and its failure thrown.
std::optional<std::vector<Record>> readExistingDatabaseFile(const std::string &fileName,
                                                            const Schema &schema);
// Writes every stored record of the table; a begun record is not written.
void writeDatabase(const Table &table, const std::string &fileName);
// Written atomically (see writeFileAtomically).
void writeDatabaseFile(const std::string &fileName, const Schema &schema,
                       const std::vector<Record> &rows, std::size_t skipRow = noRow);

} // namespace data

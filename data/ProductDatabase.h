#pragma once

#include "data/Table.h"

#include <string>

// The product table's life on disk: the steps the window runs at start, save, close and erase.
namespace data {

// Deletes every record whose name is exactly empty text (a name of spaces is a name), in one
// pass. A pending change is committed first; afterwards the last remaining record is current.
void purgeUnnamedRecords(Table &table);

// Purge, then write `fileName`.
void saveDatabase(Table &table, const std::string &fileName);

// Writes an empty database file, then recreates the table empty and begins a record (its
// after-insert hook runs); the begun record stays current, ready for typing. When the write
// fails the table is left as it was.
void createEmptyDatabase(Table &table, const std::string &fileName);

// The table part of createEmptyDatabase alone: empty, open, a record begun.
void resetToEmptyDatabase(Table &table);

// Loads `fileName` and makes the last record current. Returns false, leaving the table alone,
// when the file does not exist: the caller then creates it. A file whose existence cannot be
// checked is read all the same, and its failure thrown.
bool loadExistingDatabase(Table &table, const std::string &fileName);

} // namespace data

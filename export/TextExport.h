#pragma once

#include "data/Table.h"

#include <ostream>
#include <string>

// The text export: one line per record, every value between double quotes, values separated by
// semicolons, CR LF after every line. Values go out unchanged: the receivers rely on this form.
namespace textexport {

// The line of the table's record at `row`, without its line end.
std::string exportLine(const data::Table &table, std::size_t row);

// Writes the line of every row of the table, in order.
void writeExport(std::ostream &out, const data::Table &table);

} // namespace textexport

#pragma once

#include "model/Table.h"

#include <string>

// The text export: one line per record, every value between double quotes, values separated by
// semicolons, CR LF after every line. Values go out unchanged: the receivers rely on this form.
namespace textexport {

// The whole export as UTF-8 text: the line of every row of the table, in order. A begun record
// is not a stored record and is left out.
std::string exportText(const data::Table &table);

// Replaces `fileName` with the export, atomically: on failure the old file is left whole and
// data::WriteError is thrown.
void writeExportFile(const std::string &fileName, const data::Table &table);

} // namespace textexport

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Reading a supplier's list: a block pasted from a spreadsheet (tab-separated) or a text file
// (';', ',' or tab), split into rows of cells. Nothing here knows the fields yet; see
// RecordImport.h for the mapping and the values.
namespace textimport {

// A row that cannot be taken, with the line of the source where it starts (1-based).
struct Problem {
    std::size_t line = 0;
    std::string reason; // short, Croatian

    bool operator==(const Problem &) const = default;
};

struct SourceRow {
    std::size_t line = 0; // where the row starts; a quoted value may span lines
    std::vector<std::string> cells;
};

struct Source {
    std::vector<SourceRow> rows;   // in order; empty lines and rows of empty cells are left out
    std::vector<Problem> problems; // lines that could not be split into cells, in order
    std::size_t columnCount = 0;   // the most cells of any row
    char separator = '\t';
    // The program's own export: values split on its `";"` and numbers in its form, so an
    // exported file comes back exactly, but for spaces at a value's ends.
    bool exportForm = false;
};

// UTF-8 with or without BOM stays (the BOM is dropped); anything else is read as
// Windows-1250, as the database file is. A BOM before bytes that are not UTF-8 throws
// data::Error.
std::string decodeText(std::string_view bytes);

// ';', ',' or '\t': the one that splits the first lines most evenly into more than one cell.
char detectSeparator(std::string_view utf8);

// Splits UTF-8 text with `separator`: values quoted as RFC 4180 writes them (a quote that
// does not end a value is kept as it is), CR LF or LF, empty lines and rows skipped. With ';', a
// file in the export's own form is recognised and read as that form.
Source readText(std::string_view utf8, char separator);

// A file's bytes: decoded, the separator detected, split.
Source readBytes(std::string_view bytes);

// Reads a whole file as readBytes does; throws data::Error when it cannot be read.
Source readFile(const std::string &fileName);

// A block from the clipboard: tab-separated.
Source readPasted(std::string_view utf8);

// True for clipboard text that is a block of rows rather than a value: it holds a tab or more
// than one non-empty line.
bool isRowBlock(std::string_view utf8);

} // namespace textimport

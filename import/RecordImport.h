#pragma once

#include "data/Record.h"
#include "import/TextImport.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// From a source's cells to product records: which column fills which field, and the values
// read with the rules of typed text.
namespace textimport {

// For every column of a source, the product field it fills, or nothing for a skipped column.
using Mapping = std::vector<std::optional<std::size_t>>;

// The field a header cell names, ignoring case, diacritics and punctuation: first its caption,
// stored name or a supplier's usual wording, a word shortened with a dot standing for the word
// ("Kat. br."); then one of these with words after it that name no other field ("Cijena (EUR)",
// but not "Naziv proizvođača" as the name). Nothing when two fields could be meant.
std::optional<std::size_t> fieldForHeading(std::string_view cell);

struct MappingGuess {
    Mapping mapping;
    bool headerRow = false; // the first row names the fields and is not a record
};

// A first row that names fields is used and skipped; twelve columns are taken in the export's
// order; otherwise `lastUsed`, fitted to the source's columns.
MappingGuess guessMapping(const Source &source, const Mapping &lastUsed);

// The first field that `mapping` fills from more than one column.
std::optional<std::size_t> fieldChosenTwice(const Mapping &mapping);
// Why a mapping that fills `field` from two columns is refused.
std::string chosenTwiceReason(std::size_t field);

enum class NumberForm { Empty, Number, Ambiguous, Invalid };
struct ImportedNumber {
    NumberForm form = NumberForm::Empty;
    double value = 0;
};

// A number as clerks and spreadsheets write it: "1234,56", "1234.56", "1.234,56", "1 234,56"
// (also with U+00A0 or U+202F) are 1234.56. One separator followed by exactly three digits
// ("1.234") may group thousands or not, and is Ambiguous. In `exportForm`, the export's own
// form: a decimal comma and no grouping.
ImportedNumber readNumber(std::string_view text, bool exportForm = false);

struct ImportResult {
    std::vector<data::Record> records; // the good rows, in order
    std::vector<Problem> problems;     // the rows left out, in line order
    // Of the good records, those whose tariff number fits only without its spaces and dots.
    std::size_t ungroupedTariffNumbers = 0;
};

// Converts every row (but a header row) with `mapping`. Every cell loses the spaces, tabs and
// no-break spaces at its ends first; texts are then cleaned as typed text is. A tariff number
// too long only for its grouping ("3004 90 00 00") is taken as its digits. A row with any other
// value too long for its field, a number that is not one or is ambiguous, or no name (a record
// without one is never saved) is a problem row and gives no record. Throws data::Error when a
// field is chosen twice.
ImportResult convert(const Source &source, const Mapping &mapping, bool headerRow);

} // namespace textimport

#pragma once

#include "import/ListLayout.h"
#include "import/TextImport.h"
#include "model/ProductSchema.h"
#include "model/Record.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// From a source's cells to product records: which column fills which field, and the values
// read with the rules of typed text.
namespace textimport {

// The field a header cell names, ignoring case, diacritics and punctuation: first its caption,
// stored name or a supplier's usual wording, a word shortened with a dot standing for the word
// ("Kat. br."); then one of these with words after it that name no other field ("Cijena (EUR)",
// but not "Naziv proizvođača" as the name). Nothing when two fields could be meant.
std::optional<std::size_t> fieldForHeading(std::string_view cell);

// The suppliers' wordings fieldForHeading knows besides the captions and stored names.
std::span<const std::pair<data::ProductField, std::string_view>> headingWordings();

struct MappingGuess {
    Mapping mapping;
    bool headerRow = false;     // a row names the fields and is not a record
    std::size_t headingRow = 0; // that row; the rows above it are a title, not records
    bool remembered = false;    // the mapping is the one used last for such a list
};

// How many of the first rows may stand above the headings.
constexpr std::size_t headingSearchRows = 20;

// The headings are the row among the first headingSearchRows that names the most fields, at
// least half its filled cells and none twice (a row below the first, at least two): the rows
// above it are a title. A list with headings gets the mapping `memory` keeps for them, or the
// one they name; twelve columns without headings are taken in the export's order, fewer or more
// get the mapping kept for their number. The export's own form has no headings.
MappingGuess guessMapping(const Source &source, const MappingMemory &memory);

// A heading row's cells without the spaces at their ends, one per column: what its mapping is
// remembered by.
std::vector<std::string> headingsOf(const Source &source, std::size_t row);
// The mapping that headings give by themselves.
Mapping mappingOfHeadings(const std::vector<std::string> &headings);

// The first field that `mapping` fills from more than one column.
std::optional<std::size_t> fieldChosenTwice(const Mapping &mapping);
// Why a mapping that fills `field` from two columns is refused.
std::string chosenTwiceReason(std::size_t field);

struct ImportResult {
    std::vector<data::Record> records; // the good rows, in order
    std::vector<Problem> problems;     // the rows left out, in line order
    // Of the good records, those whose tariff number fits only without its spaces and dots.
    std::size_t ungroupedTariffNumbers = 0;
    std::vector<std::size_t> totalLines; // the rows left out as totals (see TotalRows)
    // The currency the headings name, the column whose heading names it, and how many of the
    // good records had none and got it.
    std::optional<HeadingCurrency> headingCurrency;
    std::size_t currencyFromHeading = 0;
};

// Converts every row after the headings (with `headerRow`, row `headingRow`; the rows above it
// are a title) with `mapping`. Every cell loses the spaces, tabs and no-break spaces at its ends
// first; texts are then cleaned as typed text is. A tariff number too long only for its grouping
// ("3004 90 00 00") is taken as its digits. A total row (but in the export's own form) is left
// out. A row with any other value too long for its field, a number that is not one or is
// ambiguous, or no name (a record without one is never saved) is a problem row and gives no
// record. A row without a currency gets the one the headings name. Throws data::Error when a
// field is chosen twice.
ImportResult convert(const Source &source, const Mapping &mapping, bool headerRow,
                     std::size_t headingRow = 0);

} // namespace textimport

// The import on any bytes: every row after the headings is a record, a total or a problem of its
// line, and a record holds its row's cells where the mapping put them, without the spaces at
// their ends and cleaned (a tariff number too long only for its grouping as its digits, an empty
// currency as the one the headings name).
#include "import/RecordImport.h"
#include "model/Encoding.h"
#include "model/ProductSchema.h"
#include "platform/Error.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <regex>

using namespace textimport;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::regex ends("^(?:[ \t]|\u00A0|\u202F)+|(?:[ \t]|\u00A0|\u202F)+$");
    Source source;
    try {
        source = readBytes({reinterpret_cast<const char *>(data), size});
    } catch (const data::Error &) {
        return 0;
    }
    // A list without headings, of any width, starts with a name, a quantity and a price.
    MappingMemory memory;
    for (std::size_t width = 1; width <= 16; ++width) {
        Mapping mapping(width);
        std::copy_n(Mapping{data::Name, data::Quantity, data::Price}.begin(),
                    std::min<std::size_t>(width, 3), mapping.begin());
        memory.remember({}, mapping);
    }
    const MappingGuess guess = guessMapping(source, memory);
    const ImportResult result = convert(source, guess.mapping, guess.headerRow, guess.headingRow);
    const std::string currency = result.headingCurrency ? result.headingCurrency->code : "";
    auto record = result.records.begin();
    const auto first = static_cast<std::ptrdiff_t>(guess.headerRow ? guess.headingRow + 1 : 0);
    for (auto row = source.rows.begin() + first; row < source.rows.end(); ++row) {
        if (std::ranges::find(result.totalLines, row->line) != result.totalLines.end() ||
            std::any_of(result.problems.begin(), result.problems.end(),
                        [&](const Problem &p) { return p.line == row->line; }))
            continue;
        assert(record != result.records.end() && !record->value(data::Name).empty());
        for (std::size_t field = 0; field < data::ProductFieldCount; ++field) {
            const auto c = static_cast<std::size_t>(std::ranges::find(guess.mapping, field) -
                                                    guess.mapping.begin());
            const std::string text = std::regex_replace(
                data::sanitizeText(c < row->cells.size() ? row->cells[c] : ""), ends, "");
            const std::string_view value = record->value(field);
            assert(data::productSchema()[field].isNumber()
                       ? value.empty() == text.empty()
                       : value == text ||
                             (field == data::Currency && text.empty() && value == currency) ||
                             (field == data::TariffNumber &&
                              value == std::regex_replace(text, std::regex("[ .]"), "")));
        }
        ++record;
    }
    assert(record == result.records.end());
    return 0;
}

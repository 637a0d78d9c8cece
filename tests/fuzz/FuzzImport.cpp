// The import on any bytes: every row is a record or a problem of its line, and a record holds
// its row's cells where the mapping put them, without the spaces at their ends and cleaned (a
// tariff number too long only for its grouping as its digits).
#include "data/Encoding.h"
#include "data/Error.h"
#include "data/ProductSchema.h"
#include "import/RecordImport.h"

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
    const MappingGuess guess = guessMapping(source, {data::Name, data::Quantity, data::Price});
    const ImportResult result = convert(source, guess.mapping, guess.headerRow);
    auto record = result.records.begin();
    for (auto row = source.rows.begin() + guess.headerRow; row < source.rows.end(); ++row) {
        if (std::any_of(result.problems.begin(), result.problems.end(),
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
                             (field == data::TariffNumber &&
                              value == std::regex_replace(text, std::regex("[ .]"), "")));
        }
        ++record;
    }
    assert(record == result.records.end());
    return 0;
}

// Numbers on any bytes: a number read from them as a clerk types it or as the import reads it, or
// their first eight bytes as a double, written as stored and as shown, reads back the same, as
// typed and, with its thousands grouped, as imported.
#include "data/NumberText.h"
#include "import/RecordImport.h"

#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace data;
using namespace textimport;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view typed(reinterpret_cast<const char *>(data), size);
    std::vector<double> numbers{readNumber(typed).value, readNumber(typed, true).value};
    if (double raw; size >= sizeof raw && (std::memcpy(&raw, data, sizeof raw), std::isfinite(raw)))
        numbers.push_back(raw);
    for (const double number : numbers) {
        const std::string stored = storedNumberText(number);
        assert(storedNumberValue(stored) == number &&
               parseTypedNumber(displayNumberText(stored)) == number);
        for (std::string_view group : {"", " ", "\u00A0", "\u202F", "."}) {
            std::string text = displayNumberText(stored);
            for (std::size_t at = std::min(text.find(','), text.size()); at > 3 + (number < 0);)
                text.insert(at -= 3, group);
            // One mark before three digits may group thousands or not: "1.234", "1,234".
            const ImportedNumber again = readNumber(text);
            assert(again.form == NumberForm::Number
                       ? again.value == number
                       : again.form == NumberForm::Ambiguous &&
                             text.size() - text.find_last_of(".,") == 4);
        }
    }
    return 0;
}

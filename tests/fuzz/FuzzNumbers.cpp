// Numbers on any bytes: a number read from them as a clerk types it, as a supplier's list or the
// export holds it, or their first eight bytes as a double, written as stored and as shown, reads
// back the same, typed and, with its thousands grouped, typed and imported.
#include "model/NumberText.h"

#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace data;

namespace {

// Read again after grouping: the same number, or ambiguous where one mark stands before the
// last three digits and nothing tells whether it groups them.
void checkGrouped(const std::string &text, NumberSource source, double number)
{
    const NumberReading again = readNumber(text, source);
    const std::size_t lastMark = text.find_last_of(".,");
    const bool loneMark = lastMark != std::string::npos && text.size() - lastMark == 4 &&
                          text.find_first_of(".,") == lastMark;
    assert(again.form == NumberReading::Form::Number
               ? again.value == number
               : again.form == NumberReading::Form::Ambiguous && loneMark);
    (void)loneMark;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view typed(reinterpret_cast<const char *>(data), size);
    std::vector<double> numbers;
    for (NumberSource source : {NumberSource::Typed, NumberSource::List, NumberSource::Export})
        numbers.push_back(readNumber(typed, source).value);
    if (double raw; size >= sizeof raw && (std::memcpy(&raw, data, sizeof raw), std::isfinite(raw)))
        numbers.push_back(raw);
    for (const double number : numbers) {
        const std::string stored = storedNumberText(number);
        assert(storedNumberValue(stored) == number &&
               parseTypedNumber(displayNumberText(stored)) == number &&
               readNumber(displayNumberText(stored), NumberSource::Export).value == number);
        for (std::string_view group : {"", " ", "\u00A0", "\u202F", "."}) {
            std::string text = displayNumberText(stored);
            for (std::size_t at = std::min(text.find(','), text.size()); at > 3 + (number < 0);)
                text.insert(at -= 3, group);
            checkGrouped(text, NumberSource::List, number);
            checkGrouped(text, NumberSource::Typed, number);
        }
    }
    return 0;
}

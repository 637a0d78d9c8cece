#pragma once

#include <optional>
#include <string>
#include <string_view>

// Number fields hold a finite double or nothing. All conversions use std::to_chars and
// std::from_chars: anything that follows the C locale would misread "12.5" on a desktop whose
// locale uses a decimal comma.
namespace data {

// Shortest digits that read back to the same double, no exponent, '.' as separator: "12.5".
// This is the form stored in records and in the database file.
std::string storedNumberText(double value);

// The form the clerk sees and the export carries: as above with a decimal comma ("12,5").
std::string displayNumberText(std::string_view storedText);

// Where the text of a number comes from, which decides what its marks mean.
enum class NumberSource {
    // Typed by the clerk: a comma is always the decimal mark ("12,5", "1,234"); dots or spaces
    // may group thousands ("1.234,50", "1 234,50", "1.250.000"); a lone dot is a decimal point
    // ("3.20"), unless exactly three digits follow it ("1.250"): then it is ambiguous.
    Typed,
    // A supplier's list: with both marks the last is the decimal mark ("1,234.56"); one that
    // repeats groups ("1.250.000"); a lone mark before exactly three digits ("1.250", "1,250")
    // is ambiguous, unless a leading zero or four digits before it settle it.
    List,
    // The export's own form: a decimal comma and no grouping.
    Export,
};

struct NumberReading {
    enum class Form { Empty, Number, Ambiguous, Invalid };
    Form form = Form::Empty;
    double value = 0;
    // Why an ambiguous or invalid text is refused and what is accepted: one Croatian sentence.
    std::string problem;
};

// The one reader of numbers typed or imported; the database file has its own
// (parseFileNumber). Spaces, tabs and no-break spaces at the ends are ignored; a sign may lead.
NumberReading readNumber(std::string_view text, NumberSource source);

// A number typed by the clerk (see NumberSource::Typed): nothing for empty text; throws
// data::Error with the reading's problem when the text is refused.
std::optional<double> parseTypedNumber(std::string_view typed);

// Parses a number attribute of a database file ('.' separator, exponent allowed). Returns
// nothing when the text is not a finite number.
std::optional<double> parseFileNumber(std::string_view text);

// Reads a stored number text back; nothing for the empty text.
std::optional<double> storedNumberValue(std::string_view storedText);

} // namespace data

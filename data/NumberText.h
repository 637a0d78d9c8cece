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

// Parses what a clerk typed: surrounding spaces ignored; empty gives nothing; otherwise an
// optional sign, digits and at most one separator ('.' or ','). Throws data::Error
// "'<text>' nije ispravan broj." for anything else, or for a number too large for a double.
std::optional<double> parseTypedNumber(std::string_view typed);

// Parses a number attribute of a database file ('.' separator, exponent allowed). Returns
// nothing when the text is not a finite number.
std::optional<double> parseFileNumber(std::string_view text);

// Reads a stored number text back; nothing for the empty text.
std::optional<double> storedNumberValue(std::string_view storedText);

} // namespace data

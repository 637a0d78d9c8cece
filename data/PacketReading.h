#pragma once

#include "data/Record.h"
#include "data/Schema.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the two readers of a data packet share: the full parser (DatabaseFile.cpp, on pugixml)
// and the quick reader of common files (RowScanner.cpp), which leaves everything else to it.
namespace data::packet {

enum class DeclaredEncoding { None, Utf8, Windows1250, Other };
// The encoding the XML declaration names; `name` is set to the name as written.
DeclaredEncoding declaredEncoding(std::string_view bytes, std::string_view &name);
bool isXmlSpace(char c);
bool isDigit(char c);
// An attribute's value with its references resolved, in `scratch` where it had any; nothing
// for a reference that is not allowed.
std::optional<std::string_view> resolveValue(std::string_view raw, std::string &scratch);
// A number field's value in its stored form, in `scratch` where it changed; nothing for a value
// that is not a number.
std::optional<std::string_view> storedNumber(std::string_view value, std::string &scratch);

// Whether `packet`, a head with an empty ROWDATA, is sound to the full parser; throws Error.
bool isSoundHead(std::string &packet, const Schema &schema);

// The quick reader: the records, or nothing when the full parser must read the packet.
std::optional<std::vector<Record>> scanRows(std::string_view bytes, const Schema &schema);
// The same for a file, read a piece at a time.
std::optional<std::vector<Record>> scanFile(const std::string &fileName, const Schema &schema);
// The quick reader fed `bytes` through a buffer of `bufferSize` bytes, as a file is read, so
// that small packets cross buffers.
std::optional<std::vector<Record>>
scanPiecesForTesting(std::string_view bytes, const Schema &schema, std::size_t bufferSize);

} // namespace data::packet

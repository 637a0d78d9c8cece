#pragma once

#include "data/Error.h"

#include <optional>
#include <string>
#include <string_view>

namespace data {

// A file that could not be written: `Datoteku "<full path>" nije moguće spremiti: <reason>`;
// reason() is the reason alone, in Croatian, as it follows a colon.
class WriteError : public Error {
public:
    WriteError(const std::string &fileName, const std::string &reason);
    const std::string &reason() const { return m_reason; }

private:
    std::string m_reason;
};

// Replaces `fileName` with `contents`: writes a temporary file in the same folder, checks every
// write, flushes it to disk and renames it over the target. On failure the old file is left whole,
// no temporary file remains, and WriteError is thrown. Keeps the old file's permission bits;
// a symbolic link is followed, so the file it points to is replaced, not the link.
void writeFileAtomically(const std::string &fileName, std::string_view contents);

// Reads a whole regular file (after links) of at most 1 GiB, without blocking on a pipe or a
// device; throws Error `Datoteku "<full path>" nije moguće pročitati: <reason>`.
std::string readWholeFile(const std::string &fileName);

// Test seam: while set, every atomic write fails at this step with a made-up reason.
enum class WriteStep { Open, Write, Flush, Rename };
void setWriteFailureForTesting(std::optional<WriteStep> step);

} // namespace data

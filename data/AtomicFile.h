#pragma once

#include "data/Error.h"
#include "data/NativeMemory.h"

#include <functional>
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
// a symbolic link is followed, so the file it points to is replaced, not the link. Where the
// file system allows it, the temporary file has no name until it is whole, so a process killed
// while writing leaves nothing behind; elsewhere see removeLeftoverTemporaries().
void writeFileAtomically(const std::string &fileName, std::string_view contents);

// Removes from the folder that writes of `fileName` use the temporary files of any
// writeFileAtomically() on this computer whose process no longer runs. Those of running
// processes and of other computers, and every file not named like them, stay.
void removeLeftoverTemporaries(const std::string &fileName);

// Reads a whole regular file (after links) of at most 1 GiB, without blocking on a pipe or a
// device; throws Error `Datoteku "<full path>" nije moguće pročitati: <reason>`.
std::string readWholeFile(const std::string &fileName);
// The same into a large block, for the database file: no page of it is touched twice.
native::LargeBlock readWholeFileLarge(const std::string &fileName);

// Test seam: while set, every atomic write fails at this step with a made-up reason.
enum class WriteStep { Open, Write, Flush, Rename };
void setWriteFailureForTesting(std::optional<WriteStep> step);
// Test seam: `hold` runs in every atomic write once the contents are written, before they are
// flushed, with the file name as given, so that a test can end the process in the middle.
void setWriteHoldForTesting(std::function<void(const std::string &fileName)> hold);
// Test seam: writes use a named temporary file, as on a file system without unnamed ones.
void setNamedTemporaryForTesting(bool named);

} // namespace data

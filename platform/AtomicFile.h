#pragma once

#include "platform/Error.h"

#include <cstddef>
#include <functional>
#include <memory>
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
// The same with contents that `produce` hands to `write` piece by piece, so that a large file is
// never held whole in memory. An exception from `produce` leaves the old file whole.
using PieceWriter = std::function<void(std::string_view piece)>;
void writeFileAtomically(const std::string &fileName,
                         const std::function<void(const PieceWriter &write)> &produce);
// The size of the pieces of a large file: large enough that writing costs no more than with the
// whole file at once, small enough to stay in the cache.
inline constexpr std::size_t writePieceSize = std::size_t(1) << 20;

// Collects the parts of a large file and hands them to a PieceWriter a piece at a time. From the
// second piece on, each is written on a thread of its own while the next one is collected: making
// the text and writing it take about as long as each other. The writer is called for one piece at
// a time, and a failure comes back from the next room() or from finish().
class PieceBuffer {
public:
    explicit PieceBuffer(const PieceWriter &write);
    // Waits for a piece still being written; its failure, if any, is dropped, since the write
    // that ends here without finish() has failed already.
    ~PieceBuffer();
    PieceBuffer(const PieceBuffer &) = delete;
    PieceBuffer &operator=(const PieceBuffer &) = delete;

    // Room for at most `size` more bytes; what is collected is handed over first when it is a
    // whole piece or the room would not fit.
    char *room(std::size_t size);
    // The bytes up to `end` in the last room are taken.
    void take(const char *end) { m_used = static_cast<std::size_t>(end - m_data.get()); }
    // Hands over what is collected and waits until every piece is written; done once at the end,
    // even when that is nothing.
    void finish();

private:
    void handOver();
    void waitForWriter();

    struct Writer;
    const PieceWriter &m_write;
    std::size_t m_capacity;
    std::unique_ptr<char[]> m_data;
    std::unique_ptr<char[]> m_spare; // the piece being written, while there is one
    std::size_t m_spareCapacity;
    std::size_t m_used = 0;
    std::unique_ptr<Writer> m_writer;
};

// Removes from the folder that writes of `fileName` use the temporary files of any
// writeFileAtomically() on this computer whose process no longer runs. Those of running
// processes and of other computers, and every file not named like them, stay.
void removeLeftoverTemporaries(const std::string &fileName);

// Reads a whole regular file (after links) of at most 1 GiB, without blocking on a pipe or a
// device; throws Error `Datoteku "<full path>" nije moguće pročitati: <reason>`.
std::string readWholeFile(const std::string &fileName);

// Test seam: while set, every atomic write fails at this step with a made-up reason.
enum class WriteStep { Open, Write, Flush, Rename };
void setWriteFailureForTesting(std::optional<WriteStep> step);
// Test seam: `hold` runs in every atomic write once the contents are written, before they are
// flushed, with the file name as given, so that a test can end the process in the middle.
void setWriteHoldForTesting(std::function<void(const std::string &fileName)> hold);
// Test seam: writes use a named temporary file, as on a file system without unnamed ones.
void setNamedTemporaryForTesting(bool named);

} // namespace data

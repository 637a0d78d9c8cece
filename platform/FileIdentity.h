#pragma once

#include <cstdint>
#include <string>

namespace data {

// One state of a file as the system describes it, without reading it: a file that another
// program wrote since has a different size or modification time.
struct FileIdentity {
    bool exists = false;
    std::uintmax_t size = 0;
    std::int64_t modified = 0; // in the file system's own clock ticks

    bool operator==(const FileIdentity &) const = default;

    // The file as it is now (links followed).
    static FileIdentity of(const std::string &fileName);
    // True when the file at `fileName` is no longer the one this identity describes, unless it
    // is gone: a file that vanished holds nothing that a write could destroy.
    bool changedOnDisk(const std::string &fileName) const;
};

} // namespace data

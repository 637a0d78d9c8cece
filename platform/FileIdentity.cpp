#include "platform/FileIdentity.h"

#include "platform/Path.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace data {

FileIdentity FileIdentity::of(const std::string &fileName)
{
    const fs::path path = pathFromUtf8(fileName);
    std::error_code ec;
    FileIdentity identity;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        return identity;
    identity.exists = true;
    if (fs::is_regular_file(status))
        identity.size = fs::file_size(path, ec);
    const fs::file_time_type modified = fs::last_write_time(path, ec);
    if (!ec)
        identity.modified = static_cast<std::int64_t>(modified.time_since_epoch().count());
    return identity;
}

bool FileIdentity::changedOnDisk(const std::string &fileName) const
{
    const FileIdentity now = of(fileName);
    return now.exists && now != *this;
}

} // namespace data

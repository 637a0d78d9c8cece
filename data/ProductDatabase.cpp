#include "data/ProductDatabase.h"

#include "data/DatabaseFile.h"
#include "data/Path.h"
#include "data/ProductSchema.h"

#include <filesystem>
#include <system_error>

namespace data {

void purgeUnnamedRecords(Table &table)
{
    table.removeRecordsWithEmpty(ProductField::Name);
}

void saveDatabase(Table &table, const std::string &fileName)
{
    purgeUnnamedRecords(table);
    table.saveToFile(fileName);
}

void createEmptyDatabase(Table &table, const std::string &fileName)
{
    // The file goes first: a failed write leaves the table as it was. A begun record is never
    // written, so this is the file the steps below would write.
    writeDatabaseFile(fileName, table.schema(), {});
    resetToEmptyDatabase(table);
}

void resetToEmptyDatabase(Table &table)
{
    table.close();
    table.replaceContent({});
    table.insert();
}

bool loadExistingDatabase(Table &table, const std::string &fileName)
{
    // Only a file that is surely absent is created anew. One the system cannot look at just now
    // (a network share that fails for a moment) is read, and the read reports why it failed,
    // rather than being overwritten with an empty database.
    std::error_code ec;
    const auto status = std::filesystem::status(pathFromUtf8(fileName), ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return false;
    table.loadFromFile(fileName);
    table.last();
    return true;
}

} // namespace data

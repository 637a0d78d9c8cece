#include "data/ProductDatabase.h"

#include "data/DatabaseFile.h"
#include "data/Path.h"
#include "data/ProductSchema.h"

#include <filesystem>
#include <system_error>

namespace data {

void purgeUnnamedRecords(Table &table)
{
    table.removeRecordsWithEmpty(ProductField::Naziv);
}

void saveDatabase(Table &table, const std::string &fileName)
{
    purgeUnnamedRecords(table);
    table.mergeChangeLog();
    table.saveToFile(fileName);
}

void createEmptyDatabase(Table &table, const std::string &fileName)
{
    // The file goes first: a failed write leaves the table as it was. A begun record is never
    // written, so this is the file the steps below would write.
    writeDatabaseFile(fileName, table.schema(), {});
    table.close();
    table.createDataSet();
    table.insert();
    table.mergeChangeLog();
    table.open();
}

bool loadExistingDatabase(Table &table, const std::string &fileName)
{
    std::error_code ec;
    if (!std::filesystem::exists(pathFromUtf8(fileName), ec))
        return false;
    table.loadFromFile(fileName);
    table.last();
    return true;
}

} // namespace data

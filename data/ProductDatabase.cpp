#include "data/ProductDatabase.h"

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
    table.close();
    table.createDataSet();
    table.insert();
    table.mergeChangeLog();
    table.saveToFile(fileName);
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

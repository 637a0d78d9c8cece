#pragma once

// Small helpers that several test programs share.

#include "model/ProductSchema.h"
#include "model/Table.h"
#include "platform/Error.h"
#include "platform/NativeFile.h"

#include <QString>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

inline QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A table holding records named by the letters of `names` ('-' for an unnamed record).
inline data::Table tableOf(std::string_view names)
{
    data::Table t(data::productSchema());
    std::vector<data::Record> rows;
    for (char c : names) {
        rows.emplace_back(data::ProductFieldCount);
        rows.back().setValue(data::Name, c == '-' ? std::string_view() : std::string_view(&c, 1));
    }
    t.replaceContent(std::move(rows));
    return t;
}

// The names of a table's records in order, '-' for an unnamed one.
inline std::string namesOf(const data::Table &t)
{
    std::string s;
    for (std::size_t r = 0; r < t.rowCount(); ++r) {
        const std::string name = t.text(r, data::Name);
        s += name.empty() ? "-" : name;
    }
    return s;
}

// Whether the file system offers the unnamed files the atomic write takes where it can.
inline bool hasUnnamedFiles(const std::filesystem::path &folder)
{
    const data::native::Handle file = data::native::createUnnamed(folder);
    std::error_code ignored;
    return file != data::native::noHandle && data::native::close(file, ignored);
}

// The message of the E that `f` throws; empty when it throws none.
template <typename E = data::Error, typename F> QString errorOf(F f)
{
    try {
        f();
    } catch (const E &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

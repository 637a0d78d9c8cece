#pragma once

#include "model/Table.h"

#include <QAbstractListModel>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace gui {

class DataSource;

// The distinct values of one column of the table, each once however many records hold it, in
// the order a clerk reads them: by their letters without case and diacritics, as the find
// matches them. FoldedRole holds that folded text, so a completer can match a folded prefix
// by binary search (CaseSensitivelySortedModel on FoldedRole).
//
// The column is read on first use after every reset (a load, a large import); from then on
// each change of the table updates only the values it touched, so a commit costs the same at
// any size.
class ColumnValues : public QAbstractListModel, private data::TableObserver {
    Q_OBJECT

public:
    static constexpr int FoldedRole = Qt::UserRole + 1;

    // The one list of `field` that every control bound to `source` shares.
    static ColumnValues &of(DataSource &source, std::size_t field);

    ColumnValues(DataSource &source, std::size_t field, QObject *parent = nullptr);
    ~ColumnValues() override;

    std::size_t field() const { return m_field; }
    // Reads the column unless it was read since the last reset.
    void ensureRead();
    bool isRead() const { return m_read; }

    // `text` without case and diacritics, as the find compares it.
    static QString fold(QStringView text);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    using Id = std::uint32_t;
    static constexpr Id noValue = UINT32_MAX;

    struct Value {
        const std::string *text = nullptr; // the key in m_ids
        QString folded;
        std::size_t uses = 0;
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const
        {
            return std::hash<std::string_view>{}(s);
        }
    };

    // Counts one more record holding `value`; a new value gets its row, and the views are told
    // when `tell`.
    Id use(std::string_view value, bool tell);
    void release(Id id);
    bool before(Id a, Id b) const;
    std::string_view valueAt(std::size_t row) const;
    void valueChanged(std::size_t row, std::size_t field) override;
    void rowInserted(std::size_t row) override;
    void rowRemoved(std::size_t row) override;
    void reset() override { forget(); }
    // Forgets everything; the next use reads the column again.
    void forget();

    // The table itself, not the data source: this goes with the data source, after it.
    data::Table &m_table;
    std::size_t m_field;
    bool m_read = false;
    std::unordered_map<std::string, Id, Hash, std::equal_to<>> m_ids;
    std::vector<Value> m_values;
    std::vector<Id> m_unused; // slots of m_values free for a new value
    std::vector<Id> m_order;  // the model's rows
    std::vector<Id> m_rowIds; // the value of each table row, or noValue when empty
};

} // namespace gui

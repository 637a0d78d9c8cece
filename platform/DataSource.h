#pragma once

#include "data/Table.h"

#include <QObject>

#include <memory>
#include <vector>

namespace platform {

class PendingInput;

// Binds a table to its controls: forwards the table's notifications as signals, and before
// every commit or cursor move asks the bound controls to hand over what was typed.
class DataSource : public QObject {
    Q_OBJECT

public:
    explicit DataSource(data::Table &table, QObject *parent = nullptr);
    ~DataSource() override;

    data::Table &table() const { return m_table; }

    void addControl(PendingInput *control);
    void removeControl(PendingInput *control);
    // Hands over the typed text of every bound control; throws when one is refused.
    void updateRecord();

signals:
    void valueChanged(int row, int field);
    void rowInserted(int row);
    void rowRemoved(int row);
    void currentChanged();
    void stateChanged();
    void reset();
    // After every one of the above.
    void dataChange();

private:
    class Relay;

    data::Table &m_table;
    std::unique_ptr<Relay> m_relay;
    std::vector<PendingInput *> m_controls;
};

} // namespace platform

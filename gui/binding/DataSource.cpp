#include "gui/binding/DataSource.h"

#include "gui/binding/PendingInput.h"

#include <algorithm>

namespace gui {

// Turns the table's notifications into signals, each followed by dataChange().
class DataSource::Relay : public data::TableObserver {
public:
    explicit Relay(DataSource &source)
        : m_source(source)
    {
    }

    void valueChanged(std::size_t row, std::size_t field) override
    {
        emit m_source.valueChanged(static_cast<int>(row), static_cast<int>(field));
        emit m_source.dataChange();
    }
    void rowAboutToBeInserted(std::size_t row) override
    {
        emit m_source.rowAboutToBeInserted(static_cast<int>(row));
    }
    void rowAboutToBeRemoved(std::size_t row) override
    {
        emit m_source.rowAboutToBeRemoved(static_cast<int>(row));
    }
    void aboutToReset() override { emit m_source.aboutToReset(); }
    void rowInserted(std::size_t row) override
    {
        emit m_source.rowInserted(static_cast<int>(row));
        emit m_source.dataChange();
    }
    void rowRemoved(std::size_t row) override
    {
        emit m_source.rowRemoved(static_cast<int>(row));
        emit m_source.dataChange();
    }
    void currentChanged() override
    {
        emit m_source.currentChanged();
        emit m_source.dataChange();
    }
    void stateChanged() override
    {
        emit m_source.stateChanged();
        emit m_source.dataChange();
    }
    void reset() override
    {
        emit m_source.reset();
        emit m_source.dataChange();
    }

private:
    DataSource &m_source;
};

DataSource::DataSource(data::Table &table, QObject *parent)
    : QObject(parent)
    , m_table(table)
    , m_relay(std::make_unique<Relay>(*this))
{
    m_table.addObserver(m_relay.get());
    m_table.setTypedInput(this);
}

DataSource::~DataSource()
{
    m_table.setTypedInput(nullptr);
    m_table.removeObserver(m_relay.get());
}

void DataSource::beginTyping()
{
    if (m_table.state() == data::TableState::Browse)
        m_table.edit();
}

void DataSource::writeTyped(std::size_t field, std::string_view text)
{
    beginTyping();
    m_table.setText(field, text);
}

void DataSource::addControl(PendingInput *control)
{
    m_controls.push_back(control);
}

void DataSource::removeControl(PendingInput *control)
{
    std::erase(m_controls, control);
}

void DataSource::cancelUntouchedEdit()
{
    if (m_table.state() != data::TableState::Edit || m_table.isModified())
        return;
    for (auto *control : m_controls) {
        if (control->hasPendingInput())
            return;
    }
    m_table.cancelEdit();
}

void DataSource::handOver()
{
    for (auto *control : m_controls) {
        if (control->hasPendingInput())
            control->handOver();
    }
}

} // namespace gui

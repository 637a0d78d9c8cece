#include "gui/binding/DataSource.h"

#include <algorithm>

namespace gui {

// Emits changed() after each of the table's notifications of a change.
class DataSource::Changes : public data::TableObserver {
public:
    explicit Changes(DataSource &source)
        : m_source(source)
    {
    }

    void valueChanged(std::size_t, std::size_t) override { emit m_source.changed(); }
    void rowInserted(std::size_t) override { emit m_source.changed(); }
    void rowRemoved(std::size_t) override { emit m_source.changed(); }
    void currentChanged() override { emit m_source.changed(); }
    void stateChanged() override { emit m_source.changed(); }
    void reset() override { emit m_source.changed(); }

private:
    DataSource &m_source;
};

DataSource::DataSource(data::Table &table, QObject *parent)
    : QObject(parent)
    , m_table(table)
    , m_changes(std::make_unique<Changes>(*this))
{
    m_table.addObserver(m_changes.get());
    m_table.setTypedInput(this);
}

DataSource::~DataSource()
{
    m_table.setTypedInput(nullptr);
    m_table.removeObserver(m_changes.get());
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

void DataSource::attach(data::TableObserver *observer)
{
    // The table tells its observers in the order they were added.
    m_table.removeObserver(m_changes.get());
    m_table.addObserver(observer);
    m_table.addObserver(m_changes.get());
}

void DataSource::addControl(data::TypedInput *control)
{
    m_controls.push_back(control);
}

void DataSource::removeControl(data::TypedInput *control)
{
    std::erase(m_controls, control);
}

void DataSource::cancelUntouchedEdit()
{
    if (m_table.state() != data::TableState::Edit || m_table.isModified() || hasPendingInput())
        return;
    m_table.cancelEdit();
}

bool DataSource::hasPendingInput() const
{
    return std::any_of(m_controls.begin(), m_controls.end(),
                       [](const data::TypedInput *control) { return control->hasPendingInput(); });
}

void DataSource::handOver()
{
    for (auto *control : m_controls) {
        if (control->hasPendingInput())
            control->handOver();
    }
}

} // namespace gui

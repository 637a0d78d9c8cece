#pragma once

#include "model/Table.h"

#include <QObject>

#include <memory>
#include <string_view>
#include <vector>

namespace data {
class Checks;
}

namespace gui {

// Binds a table to its controls: tells them of the table's changes, and before every commit or
// cursor move asks the bound controls to hand over what was typed.
class DataSource : public QObject, public data::TypedInput {
    Q_OBJECT

public:
    explicit DataSource(data::Table &table, QObject *parent = nullptr);
    ~DataSource() override;

    data::Table &table() const { return m_table; }
    // The warnings the bound controls show, if any; set before the controls are made.
    void setChecks(const data::Checks *checks) { m_checks = checks; }
    const data::Checks *checks() const { return m_checks; }

    // The one way typed text reaches the table, from a box or a grid cell alike. The first typed
    // change puts a record in Browse in Edit (an empty table begins one); throws on a refusal.
    void beginTyping();
    // Writes typed text into `field` of the current record, beginning as above when needed.
    // Throws data::Error when the text is refused, and the field keeps its value.
    void writeTyped(std::size_t field, std::string_view text);

    // Adds `observer` to the table's observers, ahead of the one that emits changed(): what
    // follows the table row by row (the grid's model, a column's values) is up to date before
    // anything that reads it hears of the change. Not while the table is telling its observers;
    // the observer removes itself from the table before it goes.
    void attach(data::TableObserver *observer);

    void addControl(data::TypedInput *control);
    void removeControl(data::TypedInput *control);
    // Whether a bound control holds typed text.
    bool hasPendingInput() const override;
    // Hands over the typed text of every bound control; throws when one is refused.
    void handOver() override;
    // After typing was cancelled in a control: a record put in Edit by it, with nothing
    // written and no other control holding typed text, goes back to Browse, so that leaving it
    // commits nothing.
    void cancelUntouchedEdit();

signals:
    // After every change the table tells of (none after an "about to"), once the attached
    // observers have heard of it.
    void changed();

private:
    class Changes;

    data::Table &m_table;
    const data::Checks *m_checks = nullptr;
    std::unique_ptr<Changes> m_changes;
    std::vector<data::TypedInput *> m_controls;
};

} // namespace gui

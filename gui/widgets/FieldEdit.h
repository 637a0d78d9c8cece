#pragma once

#include "model/Table.h"

#include <QLineEdit>

#include <cstddef>

namespace gui {

class DataSource;
class TextLimit;

// A line edit bound to one field of the table's current record. It shows the field and
// refreshes on every notification, except while it holds typed text the table has not taken.
// The first change puts the table in Edit (or begins a record in an empty table) before the
// change takes effect; the text is handed over when the box loses the focus and before every
// commit or cursor move. Esc puts the field's value back (with a completion list open, it only
// closes the list). A warning of the data source's checks on the field of the current record
// shows as a tint, a mark and a tooltip.
class FieldEdit : public QLineEdit, public data::TypedInput, private data::TableObserver {
    Q_OBJECT

public:
    FieldEdit(DataSource &source, std::size_t field, QWidget *parent = nullptr);
    ~FieldEdit() override;

    std::size_t field() const { return m_field; }
    // Every typed or pasted letter becomes upper case.
    void setUpperCase(bool upper);
    // The focus reason of the last focus-out, so leaving the box can tell Tab from Shift+Tab.
    Qt::FocusReason lastFocusOutReason() const { return m_lastFocusOutReason; }

    // The reason of the warning the box shows, or null.
    const char *shownWarning() const { return m_shownWarning; }

    bool hasPendingInput() const override { return m_dirty; }
    void handOver() override;

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    // Typed text belongs to its record: when that record goes, so does the text.
    void rowAboutToBeRemoved(std::size_t row) override;
    void aboutToReset() override { m_dirty = false; }
    void currentChanged() override;
    void refresh();
    void showWarning();
    bool beginEdit();
    void onTextEdited();
    static bool changesText(QKeyEvent *event);

    DataSource &m_source;
    std::size_t m_field;
    TextLimit *m_limit = nullptr;
    QAction *m_warningMark = nullptr;
    const char *m_shownWarning = nullptr;
    bool m_dirty = false;
    Qt::FocusReason m_lastFocusOutReason = Qt::OtherFocusReason;
};

} // namespace gui

#pragma once

#include "gui/widgets/TextLimit.h"
#include "gui/widgets/UndoKeys.h"
#include "model/NumberText.h"
#include "model/Table.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace gui {

// The editor of one cell. It refuses to be left with a number that does not parse.
class CellEditor : public QLineEdit, public data::TypedInput {
public:
    CellEditor(bool isNumber, QWidget *parent)
        : QLineEdit(parent)
        , m_isNumber(isNumber)
    {
    }

    bool hasPendingInput() const override { return isModified(); }
    // Only checks the text: the delegate writes it when the editor closes.
    void handOver() override { check(); }

    void check() const
    {
        if (m_isNumber)
            data::parseTypedNumber(text().toStdString());
    }

protected:
    bool event(QEvent *event) override
    {
        if (const std::optional<bool> own = takesUndoKey(*this, event, isModified()))
            return *own;
        return QLineEdit::event(event);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        if (undoKeyPressed(*this, event))
            return;
        const auto *limit = qobject_cast<const TextLimit *>(validator());
        if (limit && event->matches(QKeySequence::Paste)) {
            limit->paste();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    bool m_isNumber;
};

} // namespace gui

#pragma once

#include <QObject>

namespace gui {

// Before the focus leaves a control with typed text by a click or by Tab, the control hands the
// text over. A refused text (a number that does not parse) keeps the focus where it is and the
// click or key is swallowed, so nothing that leaving the control does and no button runs; the
// error box follows.
class InputGuard : public QObject {
    Q_OBJECT

public:
    explicit InputGuard(QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace gui

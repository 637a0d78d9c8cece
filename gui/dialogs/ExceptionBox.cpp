#include "gui/dialogs/ExceptionBox.h"

#include "gui/dialogs/Dialogs.h"

#include "platform/SystemReason.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace gui {

QString exceptionText(const std::exception &e)
{
    return QString::fromStdString(data::exceptionMessage(e));
}

void showException(QWidget *parent, const std::exception &e)
{
    Dialogs::error(parent, exceptionText(e));
}

void showExceptionLater(QWidget *parent, const std::exception &e)
{
    const QString text = exceptionText(e);
    QPointer<QWidget> owner(parent);
    QTimer::singleShot(0, [owner, text] { Dialogs::error(owner.data(), text); });
}

} // namespace gui

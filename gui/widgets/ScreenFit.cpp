#include "gui/widgets/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace gui {

namespace {

int place(int wanted, int length, int start, int extent)
{
    return std::max(start, std::min(wanted, start + extent - length));
}

QMargins frameOf(const QWidget *window)
{
    const QRect client = window->geometry();
    const QRect frame = window->frameGeometry();
    const QMargins known(client.left() - frame.left(), client.top() - frame.top(),
                         frame.right() - client.right(), frame.bottom() - client.bottom());
    if (!known.isNull())
        return known;
    const int border = window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return {border, border + title, border, border};
}

} // namespace

WindowPlacement fitIntoScreen(QPoint framePosition, QSize clientSize, QSize minimumClient,
                              const QRect &available, const QMargins &frame)
{
    const QSize room = available.size().shrunkBy(frame);
    const QSize size = clientSize.boundedTo(room).expandedTo(minimumClient);
    const QSize outer = size.grownBy(frame);
    return {{place(framePosition.x(), outer.width(), available.x(), available.width()),
             place(framePosition.y(), outer.height(), available.y(), available.height())},
            size};
}

void placeOnScreen(QWidget *window, QPoint framePosition, QSize clientSize)
{
    // The screen the place is on, which need not be the one the window opened on.
    const QScreen *screen = QGuiApplication::screenAt(QRect(framePosition, clientSize).center());
    if (!screen)
        screen = window->screen();
    if (!screen) {
        window->resize(clientSize);
        window->move(framePosition);
        return;
    }
    const WindowPlacement fitted =
        fitIntoScreen(framePosition, clientSize, window->minimumSizeHint(),
                      screen->availableGeometry(), frameOf(window));
    window->resize(fitted.clientSize);
    window->move(fitted.framePosition);
}

} // namespace gui

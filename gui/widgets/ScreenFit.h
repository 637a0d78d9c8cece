#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace gui {

struct WindowPlacement {
    QPoint framePosition;
    QSize clientSize;
};

// Where a window goes so that all of it, frame included, lies inside `available`: the wanted
// place and size when they fit; otherwise moved in, and shrunk as far as `minimumClient` allows.
// What still does not fit keeps its top-left corner on the screen, where the title bar is.
WindowPlacement fitIntoScreen(QPoint framePosition, QSize clientSize, QSize minimumClient,
                              const QRect &available, const QMargins &frame);

// Places a top-level window at `framePosition` with `clientSize`, fitted into its screen's
// available area. Before the window manager has framed it, a title bar is assumed.
void placeOnScreen(QWidget *window, QPoint framePosition, QSize clientSize);

} // namespace gui

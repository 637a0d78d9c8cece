#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

namespace gui {

class RecordGrid;

// What the window keeps between runs, in the settings: its place, size and maximised state,
// and the widths of the grid's columns the clerk set by hand.
class WindowMemory {
public:
    // Where the window goes when nothing is kept, or what is kept lies off every screen.
    WindowMemory(QPoint defaultPosition, QSize defaultSize)
        : m_defaultPosition(defaultPosition)
        , m_defaultSize(defaultSize)
    {
    }

    void restore(QWidget *window, RecordGrid *grid) const;
    void save(const QWidget *window, const RecordGrid *grid) const;

private:
    QPoint m_defaultPosition;
    QSize m_defaultSize;
};

} // namespace gui

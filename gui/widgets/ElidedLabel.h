#pragma once

#include <QLabel>
#include <QPainter>

#include <algorithm>

namespace gui {

// A one-line label that shows as much of its text as fits, ending in "…" when cut, and asks
// for no more room than it is given.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget *parent = nullptr)
        : QLabel(parent)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect room = contentsRect().adjusted(std::max(indent(), 0), 0, 0, 0);
        painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
    }
};

} // namespace gui

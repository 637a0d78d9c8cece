#include "gui/widgets/WarningLook.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace gui {

QColor warningTint()
{
    return QColor(255, 234, 160);
}

QIcon warningMark()
{
    // A warning triangle with an exclamation mark, small enough for a 41-pixel column to keep
    // its digits readable.
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(12, 12) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(6, 0.5);
    triangle.lineTo(11.5, 11.5);
    triangle.lineTo(0.5, 11.5);
    triangle.closeSubpath();
    p.fillPath(triangle, QColor(232, 160, 0));
    p.strokePath(triangle, QPen(QColor(110, 60, 0), 1));
    p.fillRect(QRectF(5.25, 4, 1.5, 4.5), QColor(40, 20, 0));
    p.fillRect(QRectF(5.25, 9.25, 1.5, 1.5), QColor(40, 20, 0));
    p.end();
    return QIcon(pixmap);
}

QString warningCountText(std::size_t count)
{
    return count == 0 ? QString() : QStringLiteral("Upozorenja: %1").arg(count);
}

} // namespace gui

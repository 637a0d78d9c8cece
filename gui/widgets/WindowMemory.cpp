#include "gui/widgets/WindowMemory.h"

#include "gui/dialogs/AppSettings.h"
#include "gui/widgets/RecordGrid.h"
#include "gui/widgets/ScreenFit.h"
#include "model/ProductSchema.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace gui {

namespace {

const QString positionKey = u"okno/polozaj"_s;
const QString sizeKey = u"okno/velicina"_s;
const QString maximisedKey = u"okno/maksimizirano"_s;
const QString widthsKey = u"okno/sirine_stupaca"_s; // "Naziv=240", by stored field name

// Whether enough of a window there would be on some screen to take hold of its title bar.
bool isOnSomeScreen(QPoint framePosition, QSize size)
{
    const QRect titleBar(framePosition, QSize(size.width(), 30));
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect seen = screen->availableGeometry().intersected(titleBar);
        if (seen.width() >= 100 && seen.height() >= 10)
            return true;
    }
    return false;
}

} // namespace

void WindowMemory::restore(QWidget *window, RecordGrid *grid) const
{
    const std::unique_ptr<QSettings> settings = appSettings();
    const QPoint position = settings->value(positionKey).toPoint();
    const QSize size = settings->value(sizeKey).toSize();
    if (settings->contains(positionKey) && size.isValid() && isOnSomeScreen(position, size))
        placeOnScreen(window, position, size);
    else
        placeOnScreen(window, m_defaultPosition, m_defaultSize);
    if (settings->value(maximisedKey).toBool())
        window->setWindowState(window->windowState() | Qt::WindowMaximized);

    std::map<std::size_t, int> widths;
    for (const QString &entry : settings->value(widthsKey).toStringList()) {
        const QString name = entry.section(u'=', 0, 0);
        const int width = entry.section(u'=', 1).toInt();
        if (const auto field = data::productSchema().indexOf(name.toStdString());
            field && width > 0)
            widths[*field] = width;
    }
    grid->setHandWidths(widths);
}

void WindowMemory::save(const QWidget *window, const RecordGrid *grid) const
{
    const std::unique_ptr<QSettings> settings = appSettings();
    const bool maximised = window->isMaximized();
    // Maximised, the place to come back to is the one before.
    const QRect normal = maximised ? window->normalGeometry() : window->geometry();
    const QPoint frameOffset = window->geometry().topLeft() - window->pos();
    settings->setValue(positionKey, normal.topLeft() - frameOffset);
    settings->setValue(sizeKey, normal.size());
    settings->setValue(maximisedKey, maximised);
    QStringList widths;
    for (const auto &[field, width] : grid->handWidths())
        widths << QString::fromStdString(data::productSchema()[field].name) + u'=' +
                      QString::number(width);
    settings->setValue(widthsKey, widths);
}

} // namespace gui

#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

#include <cstddef>

namespace gui {

// How a warning of the checks shows: a soft tint behind the value, and a small mark that does
// not rely on colour alone.
QColor warningTint();
// Drawn anew on each call: keep it.
QIcon warningMark();

// "Upozorenja: 3" beside the record count; empty when there are none.
QString warningCountText(std::size_t count);

} // namespace gui

#pragma once

#include <QCoreApplication>
#include <QSettings>

#include <memory>

namespace gui {

// The program's settings. main() names the application only; without an organisation QSettings
// would write under "Unknown Organization".
inline std::unique_ptr<QSettings> appSettings()
{
    const QString application = QCoreApplication::applicationName();
    const QString organisation = QCoreApplication::organizationName();
    return std::make_unique<QSettings>(organisation.isEmpty() ? application : organisation,
                                       application);
}

} // namespace gui

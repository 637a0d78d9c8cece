#include "app/CommandLine.h"
#include "app/ProductListWindow.h"
#include "gui/binding/InputGuard.h"
#include "gui/dialogs/ExceptionBox.h"
#include "system/SignalCloser.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // Before any QApplication: --help and --version must work where there is no display.
    if (const std::optional<int> status = processCommandLine(argc, argv))
        return *status;
    // The pictures live in a static library: the linker drops them unless named here.
    Q_INIT_RESOURCE(resources);
    QApplication app(argc, argv); // outside the try: the error box needs it
    try {
        // The name is also the display name. Setting a display name of its own would make Qt
        // append it to every window title, and the captions must read exactly as they are.
        QApplication::setApplicationName(QStringLiteral("Kalvendor"));
        // Lets desktops match the window to its menu entry and icon (Wayland's app id).
        QApplication::setDesktopFileName(QStringLiteral("example.kalvendor.Kalvendor"));

        // Qt's own texts in Croatian whatever the system's locale: "Da", "Ne", "U redu".
        QTranslator qtTranslator;
        if (qtTranslator.load(QLocale(QLocale::Croatian, QLocale::Croatia),
                              QStringLiteral("qtbase"), QStringLiteral("_"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(&qtTranslator);

        gui::InputGuard inputGuard;
        app.installEventFilter(&inputGuard);

        ProductListWindow window;
        // A logout or a shutdown closes the window in order instead of killing the program.
        os::SignalCloser signalCloser;
        QObject::connect(&signalCloser, &os::SignalCloser::closeRequested, &window,
                         &ProductListWindow::closeOnSignal);
        if (window.start()) {
            window.show();
            QApplication::exec();
        }
    } catch (const std::exception &e) {
        gui::showException(nullptr, e);
    }
    return 0;
}

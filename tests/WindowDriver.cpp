// A child process for the tests that end a real program: the real window in the current folder
// types two records and begins a third, then runs until a signal or a kill ends it. "ready" on
// standard output says it got there; with "box" or "dialog" the erase question or the export's
// save dialog is open for real by then.

#include "WindowFixture.h"

#include <QTimer>

#include <cstdio>

using data::ProductField;

namespace {

void typeRecord(WindowFixture &w, const QString &name, bool commit)
{
    w.type(ProductField::Naziv, name);
    if (!commit)
        return;
    w.edit(ProductField::Cijena)->setFocus(Qt::TabFocusReason);
    w.tab();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    WindowFixture w(QDir::currentPath());
    if (!w.start())
        return 1;
    w.click("BitBtnAdd");
    typeRecord(w, QStringLiteral("prvi"), true);
    typeRecord(w, QStringLiteral("drugi"), true);
    typeRecord(w, QStringLiteral("treći"), false);

    if (mode != QLatin1String("type")) {
        platform::Dialogs::setScripted(false);
        const char *button = mode == QLatin1String("box") ? "BitBtnErase" : "BitBtnExport";
        QTimer::singleShot(0, &app, [&w, button] { w.button(button)->click(); });
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (mode == QLatin1String("type") || QApplication::activeModalWidget()) {
            std::puts("ready");
            std::fflush(stdout);
            poll.stop();
        }
    });
    poll.start(20);
    return QApplication::exec();
}

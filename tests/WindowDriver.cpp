// The real window in the current folder, for tests that end a real process: it types two
// records and begins a third, opens the erase question ("box") or the export's save dialog
// ("dialog") for real, prints "ready" and runs until a signal or a kill ends it. "save" and
// "copy" instead stop the write of the database at close, or of the recovery copy, in the
// middle and print "held"; "named" after them writes through a named temporary file. "switch"
// opens the list of another folder and prints "held" at the first question asked there.

#include "WindowFixture.h"

#include "platform/AtomicFile.h"
#include "system/SignalCloser.h"

#include <QAction>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? argv[1] : "";
    const bool holdSave = mode == "save";
    if (holdSave || mode == "copy") {
        data::setNamedTemporaryForTesting(argc > 2 && QByteArray(argv[2]) == "named");
        data::setWriteHoldForTesting([holdSave](const std::string &fileName) {
            if (fileName.ends_with("Baza.xml") != holdSave)
                return;
            std::puts("held");
            std::fflush(stdout);
            for (;;)
                std::this_thread::sleep_for(std::chrono::hours(1));
        });
    }
    WindowFixture w(QDir::currentPath());
    if (!w.start())
        return 1;
    os::SignalCloser signalCloser;
    QObject::connect(&signalCloser, &os::SignalCloser::closeRequested, w.form.get(),
                     &ProductListWindow::closeOnSignal);
    w.click("addButton");
    for (const QString &name : {QStringLiteral("prvi"), QStringLiteral("drugi")}) {
        w.type(data::Name, name);
        w.edit(data::Price)->setFocus(Qt::TabFocusReason);
        w.tab();
    }
    w.type(data::Name, QStringLiteral("treći"));
    if (holdSave)
        QTimer::singleShot(0, w.form.get(), &QWidget::close);
    if (holdSave || mode == "copy")
        return QApplication::exec();
    if (mode == "switch") {
        // Opens the list in argv[2] and stops at the first question there, both folders held.
        gui::Dialogs::addAnswer(QString::fromLocal8Bit(argv[2]));
        gui::Dialogs::setWhileShown([](const gui::Dialogs::Shown &shown) {
            if (shown.kind == gui::Dialogs::Kind::OpenFolder)
                return;
            std::puts("held");
            std::fflush(stdout);
            for (;;)
                std::this_thread::sleep_for(std::chrono::hours(1));
        });
        for (QAction *action : w.form->actions()) {
            if (action->text() == QStringLiteral("Otvori popis…"))
                QTimer::singleShot(0, action, &QAction::trigger);
        }
        return QApplication::exec();
    }
    if (mode != "type") {
        gui::Dialogs::setScripted(false);
        QPushButton *button = w.button(mode == "box" ? "eraseButton" : "exportButton");
        QTimer::singleShot(0, button, &QPushButton::click);
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (mode == "type" || QApplication::activeModalWidget()) {
            std::puts("ready");
            std::fflush(stdout);
            poll.stop();
        }
    });
    poll.start(20);
    return QApplication::exec();
}

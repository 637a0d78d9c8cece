#include "WindowBench.h"

#include "app/ProductListWindow.h"
#include "gui/binding/InputGuard.h"
#include "gui/dialogs/Dialogs.h"
#include "model/Table.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <stdexcept>

namespace {

void typeKeys(QWidget *target, const QString &text)
{
    for (QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

WindowFigures measureWindow(const std::string &folder, int cycles)
{
    gui::InputGuard guard;
    qApp->installEventFilter(&guard);
    gui::Dialogs::setScripted(true);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(folder));

    WindowFigures figures;
    QElapsedTimer clock;
    clock.start();
    auto form = std::make_unique<ProductListWindow>();
    form->start();
    form->show();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form.get()))
        throw std::runtime_error("the window did not become active");
    figures.startMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;

    auto *add = form->findChild<QPushButton *>(QStringLiteral("addButton"));
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {},
                      add->mapTo(form.get(), add->rect().center()));

    const QString values[] = {QStringLiteral("9018390000"),
                              QStringLiteral("Kateter urinarni"),
                              QStringLiteral("K-12"),
                              QStringLiteral("AB01"),
                              QStringLiteral("Medi d.o.o."),
                              QStringLiteral("P-1"),
                              QStringLiteral("Dobavljac d.d."),
                              QStringLiteral("KBC Zagreb"),
                              QStringLiteral("kom"),
                              QStringLiteral("12,5"),
                              QStringLiteral("EUR"),
                              QStringLiteral("3,2")};
    clock.restart();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (const QString &value : values) {
            QWidget *box = QApplication::focusWidget();
            if (auto *line = qobject_cast<QLineEdit *>(box))
                line->selectAll(); // type over a carried-over value
            typeKeys(box, value);
            QTest::keyClick(box, Qt::Key_Tab);
        }
    }
    figures.cycleMs = static_cast<double>(clock.nsecsElapsed()) / 1e6 / cycles;
    figures.records = form->table().recordCount();

    form->hide();
    form.reset();
    QDir::setCurrent(previous);
    gui::Dialogs::setScripted(false);
    return figures;
}

#include "WindowFixture.h"

#include <QMenu>
#include <QToolButton>

using namespace data;
using namespace Qt::StringLiterals;
using platform::Dialogs;

class TestFindAndTakeBack : public QObject {
    Q_OBJECT

private:
    static bool start(WindowFixture &w)
    {
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"Kateter\""_s,
                                               u"Naziv=\"Zavoj\" Uvoznik=\"Bolnica Čakovec\""_s,
                                               u"Naziv=\"Štrcaljka\" Cijena=\"3.2\""_s,
                                               u"Naziv=\"Rukavice\" Uvoznik=\"KBC Čakovec\""_s}));
        const bool started = w.start(); // the last record is current
        Dialogs::takeShown();
        return started;
    }
    static void ctrl(QWidget *target, Qt::Key key)
    {
        QTest::keyClick(target, key, Qt::ControlModifier);
    }
    static QString names(const WindowFixture &w)
    {
        QStringList names;
        for (std::size_t row = 0; row < w.table().rowCount(); ++row)
            names << w.valueAt(row, Naziv);
        return names.join(u' ');
    }

private slots:
    void findsForwardAndBackWrapping()
    {
        WindowFixture w;
        QVERIFY(start(w));
        ctrl(w.focus(), Qt::Key_F);
        auto *text = w.widget<QLineEdit>("FindText");
        QCOMPARE(w.focus(), text);
        WindowFixture::keys(text, u"cakovec"_s); // from the current record on, itself included
        QCOMPARE(w.table().currentRow(), 3u);
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            std::size_t row;
        } steps[] = {{Qt::Key_Return, {}, 1},
                     {Qt::Key_F3, {}, 3},
                     {Qt::Key_Enter, Qt::ShiftModifier, 1},
                     {Qt::Key_F3, Qt::ShiftModifier, 3}};
        for (const auto &step : steps) {
            QTest::keyClick(text, step.key, step.modifiers);
            QCOMPARE(w.table().currentRow(), step.row);
        }
        text->clear();
        WindowFixture::keys(text, u"3,2"_s);
        QCOMPARE(w.table().currentRow(), 2u);
        WindowFixture::keys(text, u"x"_s);
        QCOMPARE(w.widget<QLabel>("FindStatus")->text(), u"Nije pronađeno"_s);
        QCOMPARE(w.table().currentRow(), 2u);
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(!w.widget("FindBar")->isVisible());
        QCOMPARE(w.focus(), w.button("BitBtnAdd"));
    }

    void findCommitsOrIsRefusedAsAMove()
    {
        WindowFixture w;
        QVERIFY(start(w));
        w.type(Naziv, u"Novo"_s);
        ctrl(w.focus(), Qt::Key_F);
        WindowFixture::keys(w.widget<QLineEdit>("FindText"), u"zavoj"_s);
        QCOMPARE(w.table().currentRow(), 1u);
        QCOMPARE(w.valueAt(3, Naziv), u"Novo"_s);
        QCOMPARE(w.table().state(), TableState::Browse);

        w.type(Kolicina, u"12x"_s);
        ctrl(w.focus(), Qt::Key_F);
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), u"'12x' nije ispravan broj."_s);
        QCOMPARE(w.focus(), w.edit(Kolicina));
        w.widget<QLineEdit>("FindText")->clear();
        WindowFixture::keys(w.widget<QLineEdit>("FindText"), u"š"_s);
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), u"'12x' nije ispravan broj."_s);
        QCOMPARE(w.table().currentRow(), 1u);
    }

    void takesBackDeletionsInOrder()
    {
        WindowFixture w;
        QVERIFY(start(w));
        QAction *takeBack = w.widget<QToolButton>("ToolsButton")->menu()->actions().at(1);
        QVERIFY(!takeBack->isEnabled());
        w.click("BitBtnFirst");
        w.click("BitBtnNext");
        w.click("BitBtnDel");
        w.click("BitBtnDel");
        QCOMPARE(names(w), u"Kateter Rukavice"_s);
        ctrl(w.focus(), Qt::Key_Z); // the tariff box holds no typing to undo
        QCOMPARE(names(w), u"Kateter Štrcaljka Rukavice"_s);
        QCOMPARE(w.table().currentRow(), 1u);

        // In a box with typing, Ctrl+Z undoes the typing and takes nothing back.
        w.type(Naziv, u"x"_s);
        ctrl(w.focus(), Qt::Key_Z);
        QCOMPARE(w.edit(Naziv)->text(), u"Štrcaljka"_s);
        QCOMPARE(w.count(), u"3"_s);

        QWidget *grid = w.widget("DBGridLijekovi");
        grid->setFocus();
        ctrl(grid, Qt::Key_Z);
        QCOMPARE(names(w), u"Kateter Zavoj Štrcaljka Rukavice"_s);
        QVERIFY(!takeBack->isEnabled());

        // The last record, from the menu; then a begun record dropped is not offered.
        w.click("BitBtnLast");
        w.click("BitBtnDel");
        takeBack->trigger();
        QCOMPARE(w.table().currentRow(), 3u);
        w.click("BitBtnAdd");
        w.click("BitBtnDel");
        QVERIFY(!takeBack->isEnabled());

        const QString target = QDir(w.folder()).filePath(u"izvoz.txt"_s);
        Dialogs::addAnswer(target);
        w.click("BitBtnExport");
        QFile exported(target);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QStringList exportedNames;
        for (const QString &line : QString::fromUtf8(exported.readAll()).split(u"\r\n"_s))
            exportedNames << line.section(u';', 1, 1).remove(u'"');
        QCOMPARE(exportedNames.join(u' '), u"Kateter Zavoj Štrcaljka Rukavice "_s);
    }
};

QTEST_MAIN(TestFindAndTakeBack)
#include "TestFindAndTakeBack.moc"

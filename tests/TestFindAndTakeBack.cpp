#include "WindowFixture.h"

#include <QMenu>
#include <QRegularExpression>
#include <QToolButton>

using namespace data;
using namespace Qt::StringLiterals;
using gui::Dialogs;

class TestFindAndTakeBack : public QObject {
    Q_OBJECT

private:
    static bool start(WindowFixture &w)
    {
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"Kateter\""_s,
                                               u"Naziv=\"Zavoj\" Uvoznik=\"Bolnica Čakovec\""_s,
                                               u"Naziv=\"Štrcaljka\" Cijena=\"3.2\""_s,
                                               u"Naziv=\"Rukavice\" Uvoznik=\"KBC Čakovec\""_s}));
        return w.start() && Dialogs::takeShown().size() == 1; // the last record is current
    }

private slots:
    void findIsACursorMove()
    {
        WindowFixture w;
        QVERIFY(start(w));
        QTest::keyClick(w.focus(), Qt::Key_F, Qt::ControlModifier);
        auto *text = w.widget<QLineEdit>("FindText");
        WindowFixture::keys(text, u"cakovec"_s); // from the current record on, itself included
        QCOMPARE(w.table().currentRow(), 3u);
        const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_F3, Qt::Key_Enter, Qt::Key_F3};
        for (int i = 0; i < 4; ++i) { // next twice, then previous twice, wrapping both ways
            QTest::keyClick(text, keys[i], i < 2 ? Qt::NoModifier : Qt::ShiftModifier);
            QCOMPARE(w.table().currentRow(), i % 2 ? 3u : 1u);
        }
        WindowFixture::keys(text, u"x"_s);
        QCOMPARE(w.widget<QLabel>("FindStatus")->text(), u"Nije pronađeno"_s);
        QCOMPARE(w.table().currentRow(), 3u);
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(!w.widget("FindBar")->isVisible());
        QCOMPARE(w.focus(), w.button("BitBtnAdd"));

        // A pending change is committed by the move; a refused number stops it.
        w.type(Name, u"Novo"_s);
        QTest::keyClick(w.focus(), Qt::Key_F, Qt::ControlModifier);
        WindowFixture::keys(text, u"zavoj"_s);
        QCOMPARE(w.table().currentRow(), 1u);
        QCOMPARE(w.valueAt(3, Name), u"Novo"_s);
        QCOMPARE(w.table().state(), TableState::Browse);
        w.type(Quantity, u"12x"_s);
        QTest::keyClick(w.focus(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), u"„12x” nije ispravan broj."_s);
        QCOMPARE(w.focus(), w.edit(Quantity));
        text->clear();
        WindowFixture::keys(text, u"š"_s);
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), u"„12x” nije ispravan broj."_s);
        QCOMPARE(w.table().currentRow(), 1u);
    }

    void takeBack()
    {
        WindowFixture w;
        QVERIFY(start(w));
        QAction *takeBack = w.widget<QToolButton>("ToolsButton")->menu()->actions().at(1);
        for (const char *button : {"BitBtnFirst", "BitBtnNext", "BitBtnDel", "BitBtnDel"})
            w.click(button);
        // The tariff box holds no typing to undo: Ctrl+Z takes back.
        QTest::keyClick(w.focus(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.value(Name), u"Štrcaljka"_s);
        w.type(Name, u"x"_s); // typing in a box is undone, nothing taken back
        QTest::keyClick(w.focus(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.edit(Name)->text(), u"Štrcaljka"_s);
        QCOMPARE(w.count(), u"3"_s);
        w.widget("DBGridLijekovi")->setFocus();
        QTest::keyClick(w.focus(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.valueAt(1, Name), u"Zavoj"_s);

        // The last record, from the menu, once a refused number is given up; a begun record
        // dropped is not offered.
        for (const char *button : {"BitBtnLast", "BitBtnDel"})
            w.click(button);
        w.type(Quantity, u"1x"_s);
        takeBack->trigger();
        QCOMPARE(WindowFixture::texts(Dialogs::takeShown()), u"„1x” nije ispravan broj."_s);
        QCOMPARE(w.count(), u"3"_s);
        QTest::keyClick(w.focus(), Qt::Key_Escape);
        takeBack->trigger();
        QCOMPARE(w.table().currentRow(), 3u);
        for (const char *button : {"BitBtnAdd", "BitBtnDel"})
            w.click(button);
        QVERIFY(!takeBack->isEnabled());
        Dialogs::addAnswer(w.folder() + u"/izvoz.txt"_s);
        w.click("BitBtnExport");
        QFile exported(w.folder() + u"/izvoz.txt"_s);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QRegularExpression order(
            u"^.*Kateter.*\n.*Zavoj.*\n.*Štrcaljka.*\n.*Rukavice.*\n$"_s);
        QVERIFY(order.match(QString::fromUtf8(exported.readAll())).hasMatch());
    }

    void onlyRecordTakenBack()
    {
        // The empty record that deleting the only one began goes again: no empty row stays.
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"Kateter\""_s}));
        w.click("BitBtnDel");
        w.widget("DBGridLijekovi")->setFocus();
        QTest::keyClick(w.focus(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.count(), u"1"_s);
        QVERIFY(w.button("BitBtnDel")->isEnabled());
    }
};

QTEST_MAIN(TestFindAndTakeBack)
#include "TestFindAndTakeBack.moc"

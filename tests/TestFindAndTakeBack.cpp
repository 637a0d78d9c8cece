#include "WindowFixture.h"

#include "gui/widgets/RecordGrid.h"

#include <QMenu>
#include <QToolButton>

using namespace data;
using namespace Qt::StringLiterals;
using gui::Dialogs;

class TestFindAndTakeBack : public QObject {
    Q_OBJECT

private:
    static bool start(WindowFixture &w)
    {
        return w.startWith({u"Naziv=\"Kateter\""_s,
                            u"Naziv=\"Zavoj\" Uvoznik=\"Bolnica Čakovec\""_s,
                            u"Naziv=\"Štrcaljka\" Cijena=\"3.2\""_s,
                            u"Naziv=\"Rukavice\" Uvoznik=\"KBC Čakovec\""_s}) &&
               Dialogs::takeShown().size() == 1; // the last record is current
    }

    static QAction *tool(WindowFixture &w, int index)
    {
        return w.widget<QToolButton>("toolsButton")->menu()->actions().at(index);
    }
    static QString undoText(WindowFixture &w) { return tool(w, 1)->text(); }
    static QString redoText(WindowFixture &w) { return tool(w, 2)->text(); }
    static void press(WindowFixture &w, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(w.focus(), key, modifiers);
    }

private slots:
    // A supplier's list imported, a value typed into two of its records, then Ctrl+Z in an
    // empty box: only the last typing goes, then the one before, and the import only when it
    // is the last step; Ctrl+Y and Ctrl+Shift+Z bring them back, in a box and in the grid.
    void undoTakesBackOneStepAtATime()
    {
        WindowFixture w;
        QVERIFY(start(w));
        QString list;
        for (int i = 1; i <= 7; ++i)
            list +=
                u"30049000\tProizvod %1\tKB-%1\t\tMedika\tDob\tKBC\tkom\t2\t\t12,5\tP\n"_s.arg(i);
        w.pasteIntoGrid(list);
        QCOMPARE(w.count(), u"11"_s);
        QCOMPARE(undoText(w), u"Poništi uvoz (7 zapisa)"_s);
        for (int i = 0; i < 2; ++i) {
            w.type(Currency, u"EUR"_s);
            w.click("nextButton");
        }
        QCOMPARE(w.valueAt(4, Currency) + w.valueAt(5, Currency), u"EUREUR"_s);
        QCOMPARE(undoText(w), u"Poništi promjenu zapisa"_s);

        w.edit(ClassificationCode)->setFocus();
        press(w, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.valueAt(4, Currency) + u'|' + w.valueAt(5, Currency), u"EUR|"_s);
        QCOMPARE(w.table().currentRow(), 5u);
        QCOMPARE(w.focus(), w.edit(Currency));
        QCOMPARE(redoText(w), u"Ponovi promjenu zapisa"_s);
        press(w, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.valueAt(4, Currency), QString());
        QCOMPARE(w.count(), u"11"_s);
        press(w, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.count(), u"4"_s);
        QCOMPARE(redoText(w), u"Ponovi uvoz (7 zapisa)"_s);

        press(w, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(w.count(), u"11"_s);
        press(w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.valueAt(4, Currency), u"EUR"_s);

        // In the grid's editor, with nothing typed there, the keys are the window's too.
        auto *grid = w.widget<gui::RecordGrid>("recordGrid");
        grid->setFocus();
        const auto openEditor = [&] {
            grid->edit(grid->currentIndex());
            return QApplication::focusWidget();
        };
        QTest::keyClick(openEditor(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.valueAt(4, Currency), QString());
        QTest::keyClick(openEditor(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(w.valueAt(4, Currency), u"EUR"_s);
        QTest::keyClick(openEditor(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(openEditor(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.valueAt(4, Currency), u"EUR"_s);
        // Typing in the editor is the editor's own to take back first.
        auto *editor = static_cast<QLineEdit *>(openEditor());
        const QString before = editor->text();
        WindowFixture::keys(editor, u"x"_s);
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor->text(), before);
        QCOMPARE(w.valueAt(4, Currency), u"EUR"_s);
    }

    // Each kind of step is named in the menu and taken back; a record finished by leaving the
    // price box is taken back whole, never an empty record of carried values in its stead.
    void everyKindOfStep()
    {
        WindowFixture w;
        QVERIFY(start(w));
        w.click("addButton");
        w.type(Name, u"Novi"_s);
        w.type(Supplier, u"Medika"_s);
        w.type(Price, u"3"_s);
        w.tab(); // leaving the price box begins the next record, Medika carried into it
        QCOMPARE(w.table().state(), TableState::Insert);
        QCOMPARE(w.value(Supplier), u"Medika"_s);
        QCOMPARE(undoText(w), u"Poništi unos zapisa"_s);
        press(w, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.count(), u"4"_s);
        QCOMPARE(w.table().state(), TableState::Browse);
        QVERIFY(!w.table().canUndo());
        w.click("addButton"); // Medika taken back with its record: nothing is carried
        QCOMPARE(w.value(Supplier), QString());
        QVERIFY(!tool(w, 1)->isEnabled());
        w.click("deleteButton"); // a begun record dropped is no step
        QCOMPARE(w.table().rowCount(), 4u);
        QVERIFY(!tool(w, 1)->isEnabled());

        w.click("firstButton");
        w.type(Name, u"Kateter 2"_s);
        w.click("nextButton");
        QCOMPARE(undoText(w), u"Poništi promjenu zapisa"_s);
        w.click("deleteButton");
        QCOMPARE(undoText(w), u"Poništi brisanje zapisa"_s);
        QCOMPARE(w.count(), u"3"_s);
        Dialogs::addAnswer(true);
        Dialogs::addAnswer(true);
        w.click("eraseButton"); // its questions and message are TestExportAndErase's
        QCOMPARE(w.count(), u"0"_s);
        QCOMPARE(undoText(w), u"Poništi brisanje baze"_s);
        tool(w, 1)->trigger();
        QCOMPARE(w.count(), u"3"_s);
        QVERIFY(w.button("deleteButton")->isEnabled());
        tool(w, 1)->trigger();
        QCOMPARE(w.count(), u"4"_s);
        QCOMPARE(w.value(Name), u"Zavoj"_s);
        tool(w, 1)->trigger();
        QCOMPARE(w.valueAt(0, Name), u"Kateter"_s);
        QVERIFY(!tool(w, 1)->isEnabled());
        QCOMPARE(undoText(w), u"Poništi"_s);
        // An erase taken back is written at the next save.
        Dialogs::addAnswer(w.folder() + u"/izvoz.txt"_s);
        w.click("exportButton");
        QVERIFY(w.readDatabase().contains("Rukavice"));
    }

    void findIsACursorMove()
    {
        WindowFixture w;
        QVERIFY(start(w));
        QTest::keyClick(w.focus(), Qt::Key_F, Qt::ControlModifier);
        auto *text = w.widget<QLineEdit>("findText");
        WindowFixture::keys(text, u"cakovec"_s); // from the current record on, itself included
        QCOMPARE(w.table().currentRow(), 3u);
        const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_F3, Qt::Key_Enter, Qt::Key_F3};
        for (int i = 0; i < 4; ++i) { // next twice, then previous twice, wrapping both ways
            QTest::keyClick(text, keys[i], i < 2 ? Qt::NoModifier : Qt::ShiftModifier);
            QCOMPARE(w.table().currentRow(), i % 2 ? 3u : 1u);
        }
        WindowFixture::keys(text, u"x"_s);
        QCOMPARE(w.widget<QLabel>("findStatus")->text(), u"Nije pronađeno"_s);
        QCOMPARE(w.table().currentRow(), 3u);
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(!w.widget("findBar")->isVisible());
        QCOMPARE(w.focus(), w.button("addButton"));

        // A pending change is committed by the move; a refused number stops it.
        w.type(Name, u"Novo"_s);
        QTest::keyClick(w.focus(), Qt::Key_F, Qt::ControlModifier);
        WindowFixture::keys(text, u"zavoj"_s);
        QCOMPARE(w.table().currentRow(), 1u);
        QCOMPARE(w.valueAt(3, Name), u"Novo"_s);
        QCOMPARE(w.table().state(), TableState::Browse);
        w.type(Quantity, u"12x"_s);
        QTest::keyClick(w.focus(), Qt::Key_F, Qt::ControlModifier);
        const QString refused = WindowFixture::refused(u"12x"_s);
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), refused);
        QCOMPARE(w.focus(), w.edit(Quantity));
        text->clear();
        WindowFixture::keys(text, u"š"_s);
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), refused);
        QCOMPARE(w.table().currentRow(), 1u);
    }

    void takeBack()
    {
        WindowFixture w;
        QVERIFY(start(w));
        QAction *takeBack = tool(w, 1);
        for (const char *button : {"firstButton", "nextButton", "deleteButton", "deleteButton"})
            w.click(button);
        // The tariff box holds no typing to undo: Ctrl+Z takes back.
        QTest::keyClick(w.focus(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.value(Name), u"Štrcaljka"_s);
        w.type(Name, u"x"_s); // typing in a box is undone, nothing taken back
        QTest::keyClick(w.focus(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.edit(Name)->text(), u"Štrcaljka"_s);
        QCOMPARE(w.count(), u"3"_s);
        w.widget("recordGrid")->setFocus();
        QTest::keyClick(w.focus(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.valueAt(1, Name), u"Zavoj"_s);

        // The last record, from the menu, once a refused number is given up.
        for (const char *button : {"lastButton", "deleteButton"})
            w.click(button);
        w.type(Quantity, u"1x"_s);
        takeBack->trigger();
        QCOMPARE(WindowFixture::texts(Dialogs::takeShown()), WindowFixture::refused(u"1x"_s));
        QCOMPARE(w.count(), u"3"_s);
        QTest::keyClick(w.focus(), Qt::Key_Escape);
        takeBack->trigger();
        QCOMPARE(w.table().currentRow(), 3u);
        QCOMPARE(w.column(Name), u"Kateter|Zavoj|Štrcaljka|Rukavice"_s); // each in its place
    }
};

QTEST_MAIN(TestFindAndTakeBack)
#include "TestFindAndTakeBack.moc"

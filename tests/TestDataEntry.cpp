#include "WindowFixture.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QTableView>

using namespace data;
using platform::Dialogs;

namespace {

const ProductField tabOrder[] = {Tar_br,    Naziv,   Gen_ime,   ATK,      Proizvodjac, Protokol,
                                 Dobavljac, Uvoznik, Jed_mjere, Kolicina, Valuta,      Cijena};

QString line(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

class TestDataEntry : public QObject {
    Q_OBJECT

private:
    // Types a whole record from the tariff-number box on, one Tab after each value.
    static void typeRecord(WindowFixture &w, const QStringList &values)
    {
        QCOMPARE(w.focus(), w.edit(Tar_br));
        for (int i = 0; i < values.size(); ++i) {
            QCOMPARE(w.focus(), w.edit(tabOrder[i]));
            WindowFixture::keys(w.focus(), values[i]);
            w.tab();
        }
    }

    static QTableView *grid(WindowFixture &w) { return w.widget<QTableView>("DBGridLijekovi"); }

    // Opens the editor of a grid cell (grid column order) in the given row and types into it.
    static QWidget *editCell(WindowFixture &w, int row, int column, const QString &text)
    {
        QTableView *g = grid(w);
        const QModelIndex index = g->model()->index(row, column);
        w.clickAt(g->viewport(), g->visualRect(index).center());
        g->edit(index);
        QWidget *editor = w.focus();
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->selectAll();
        WindowFixture::keys(editor, text);
        return editor;
    }

private slots:
    void init() { Dialogs::setScripted(true); }

    void theDataEntryLoop()
    {
        WindowFixture w;
        QVERIFY(w.start());
        QCOMPARE(w.focus(), w.button("BitBtnAdd"));
        w.click("BitBtnAdd");
        QCOMPARE(w.focus(), w.edit(Tar_br));

        typeRecord(w, {line("9018390000"), line("Kateter"), line("K-12"), line("ab01"),
                       line("Medi d.o.o."), line("P-1"), line("Dobavljač d.d."), line("Bolnica"),
                       line("kom"), line("12,5"), line("EUR"), line("3.20")});

        // Leaving the price box committed the record and began the next one ahead of it.
        QCOMPARE(w.focus(), w.edit(Tar_br));
        QCOMPARE(w.table().state(), TableState::Insert);
        const std::size_t typed = w.table().currentRow() + 1;
        QCOMPARE(w.valueAt(typed, Naziv), line("Kateter"));
        QCOMPARE(w.valueAt(typed, ATK), line("AB01"));
        QCOMPARE(w.valueAt(typed, Kolicina), line("12,5"));
        QCOMPARE(w.valueAt(typed, Cijena), line("3,2"));
        // The record begun at start was committed unnamed by "Dodaj": two stored records.
        QCOMPARE(w.count(), line("2"));
        QVERIFY(w.button("BitBtnDel")->isEnabled());

        // The new record carries the five values over; the rest is empty.
        QCOMPARE(w.value(Proizvodjac), line("Medi d.o.o."));
        QCOMPARE(w.value(Dobavljac), line("Dobavljač d.d."));
        QCOMPARE(w.value(Uvoznik), line("Bolnica"));
        QCOMPARE(w.value(Jed_mjere), line("kom"));
        QCOMPARE(w.value(Valuta), line("EUR"));
        QCOMPARE(w.value(Naziv), QString());
        QCOMPARE(w.edit(Dobavljac)->text(), line("Dobavljač d.d."));

        // A second record with an empty supplier: the next one starts with it empty.
        typeRecord(w, {line("1"), line("Zavoj")});
        for (int i = 0; i < 4; ++i) // to the supplier box
            w.tab();
        w.edit(Dobavljac)->selectAll();
        QTest::keyClick(w.edit(Dobavljac), Qt::Key_Delete);
        for (int i = 0; i < 6; ++i)
            w.tab();
        QCOMPARE(w.focus(), w.edit(Tar_br));
        QCOMPARE(w.value(Dobavljac), QString());
        QCOMPARE(w.value(Proizvodjac), line("Medi d.o.o."));
        QCOMPARE(w.count(), line("3"));

        // On close, the unnamed records go and the named ones are written in table order.
        w.form->close();
        QVERIFY(!w.form->isVisible());
        const QByteArray file = w.readDatabase();
        QCOMPARE(file.count("<ROW "), 2);
        QVERIFY(file.indexOf("Zavoj") < file.indexOf("Kateter"));
    }

    void shiftTabAndClicksFromThePriceBox()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({QStringLiteral("Naziv=\"a\" Cijena=\"1\"")}));
        QVERIFY(w.start());
        w.type(Cijena, QStringLiteral("2"));
        QTest::keyClick(w.focus(), Qt::Key_Backtab);
        QCOMPARE(w.focus(), w.edit(Valuta));
        QCOMPARE(w.table().state(), TableState::Edit); // a correction within the record

        // A click on "Dodaj" from the price box begins one record, not two.
        w.edit(Cijena)->setFocus(Qt::TabFocusReason);
        w.click("BitBtnAdd");
        QCOMPARE(w.table().rowCount(), 2u);
        QCOMPARE(w.count(), line("1"));
        QCOMPARE(w.valueAt(1, Cijena), line("2"));
        QCOMPARE(w.focus(), w.edit(Tar_br));

        // A click on another button: the exit runs first, then the button's own action.
        w.type(Naziv, QStringLiteral("b"));
        w.edit(Cijena)->setFocus(Qt::TabFocusReason);
        w.click("BitBtnLast");
        // The record begun by the exit holds the carried values, so "Zadnji" commits it too.
        QCOMPARE(w.count(), line("3"));
        QCOMPARE(w.table().rowCount(), 3u);
        QCOMPARE(w.table().currentRow(), 2u);
    }

    void tabbingThroughAnOldRecordChangesNothing()
    {
        WindowFixture w;
        const QByteArray before =
            WindowFixture::packet({QStringLiteral("Naziv=\"a\" Dobavljac=\"X\" Kolicina=\"1.5\"")});
        w.writeDatabase(before);
        QVERIFY(w.start());
        w.edit(Tar_br)->setFocus(Qt::MouseFocusReason);
        for (int i = 0; i < 11; ++i)
            w.tab();
        QCOMPARE(w.focus(), w.edit(Cijena));
        QCOMPARE(w.table().state(), TableState::Browse);
        w.tab();
        // No change was pending: nothing committed, and nothing carried over.
        QCOMPARE(w.table().state(), TableState::Insert);
        QCOMPARE(w.value(Dobavljac), QString());
        QCOMPARE(w.count(), line("1"));
        QCOMPARE(w.valueAt(1, Kolicina), line("1,5"));
    }

    void typingIntoAnEmptyTable()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({}));
        QVERIFY(w.start());
        QCOMPARE(w.table().rowCount(), 0u);
        QVERIFY(!w.button("BitBtnDel")->isEnabled());
        w.type(Naziv, QStringLiteral("Gaza"));
        QCOMPARE(w.table().state(), TableState::Insert);
        QCOMPARE(w.edit(Naziv)->text(), QStringLiteral("Gaza"));
        w.tab();
        QCOMPARE(w.value(Naziv), QStringLiteral("Gaza"));
        QCOMPARE(w.count(), line("0")); // begun, not yet committed
    }

    void deleteButtonAndCarriedValues()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({QStringLiteral("Naziv=\"a\" Valuta=\"EUR\"")}));
        QVERIFY(w.start());
        QVERIFY(w.button("BitBtnDel")->isEnabled());

        // An edit of the old record is what carries over.
        w.type(Naziv, QStringLiteral("ab"));
        w.click("BitBtnAdd");
        QCOMPARE(w.value(Valuta), line("EUR"));

        // Delete with a begun record current drops only that record.
        w.click("BitBtnDel");
        QCOMPARE(w.table().rowCount(), 1u);
        QCOMPARE(w.value(Naziv), line("ab"));
        QCOMPARE(w.focus(), w.edit(Tar_br));

        // Deleting the only record empties the table and clears the carried values.
        w.click("BitBtnDel");
        QVERIFY(!w.button("BitBtnDel")->isEnabled());
        QCOMPARE(w.table().state(), TableState::Insert);
        QCOMPARE(w.value(Valuta), QString());
        QCOMPARE(w.count(), line("0"));

        // The first commit enables the button again.
        w.type(Naziv, QStringLiteral("c"));
        w.click("BitBtnFirst");
        QCOMPARE(w.count(), line("1"));
        QVERIFY(w.button("BitBtnDel")->isEnabled());

        // With no stored record, Delete only moves the focus; the begun record stays.
        w.click("BitBtnDel");
        QCOMPARE(w.table().rowCount(), 1u);
        w.button("BitBtnAdd")->setFocus();
        w.click("BitBtnDel"); // disabled: ignores the click
        QCOMPARE(w.table().rowCount(), 1u);
        QCOMPARE(w.table().state(), TableState::Insert);
        QCOMPARE(w.focus(), w.button("BitBtnAdd"));
        QVERIFY(Dialogs::takeShown().size() == 1); // only the start-up message
    }

    void navigationKeepsTheFocus()
    {
        WindowFixture w;
        w.writeDatabase(
            WindowFixture::packet({QStringLiteral("Naziv=\"a\""), QStringLiteral("Naziv=\"b\""),
                                   QStringLiteral("Naziv=\"c\"")}));
        QVERIFY(w.start());
        QCOMPARE(w.value(Naziv), line("c")); // opens on the last record
        w.click("BitBtnFirst");
        QCOMPARE(w.value(Naziv), line("a"));
        QCOMPARE(w.focus(), w.button("BitBtnFirst"));
        w.click("BitBtnNext");
        w.click("BitBtnNext");
        w.click("BitBtnNext");
        QCOMPARE(w.value(Naziv), line("c"));
        QVERIFY(w.table().eof());
        w.click("BitBtnPrev");
        QCOMPARE(w.value(Naziv), line("b"));
        QCOMPARE(grid(w)->currentIndex().row(), 1);
        w.click("BitBtnLast");
        QCOMPARE(w.edit(Naziv)->text(), line("c"));
        QCOMPARE(w.focus(), w.button("BitBtnLast"));
    }

    // F8 and Shift+F8 move like the navigation buttons, to records with a warning, wrapping.
    void warningKeys()
    {
        WindowFixture w;
        const QString valid =
            QStringLiteral("Tar_br=\"30049000\" Valuta=\"EUR\" Kolicina=\"1\" Cijena=\"2\" ");
        w.writeDatabase(WindowFixture::packet(
            {valid + QStringLiteral("Naziv=\"a\""), QStringLiteral("Naziv=\"b\""),
             valid + QStringLiteral("Naziv=\"c\""), valid + QStringLiteral("Naziv=\"d\"")}));
        QVERIFY(w.start());
        Dialogs::takeShown();
        QCOMPARE(w.widget<QLabel>("lblNumOfWarnings")->text(), line("Upozorenja: 1"));
        const QModelIndex tariffOfB = grid(w)->model()->index(1, 0);
        QVERIFY(!tariffOfB.data(Qt::DecorationRole).isNull());
        QCOMPARE(tariffOfB.data().toString(), QString());

        // A pending change is committed, and a refused one keeps the clerk where they are.
        w.type(Kolicina, QStringLiteral("abc"));
        QTest::keyClick(w.focus(), Qt::Key_F8);
        QCOMPARE(w.table().currentRow(), 3u);
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), line("'abc' nije ispravan broj."));
        w.type(Kolicina, QStringLiteral("-1"));
        QTest::keyClick(w.focus(), Qt::Key_F8);
        QCOMPARE(w.valueAt(3, Kolicina), line("-1"));
        QCOMPARE(w.table().currentRow(), 1u);
        QCOMPARE(w.focus(), w.edit(Kolicina));
        QTest::keyClick(w.focus(), Qt::Key_F8, Qt::ShiftModifier);
        QCOMPARE(w.table().currentRow(), 3u);
        QCOMPARE(w.edit(Kolicina)->toolTip(), line("Količina mora biti veća od nule"));
        QCOMPARE(w.widget<QLabel>("lblNumOfWarnings")->text(), line("Upozorenja: 2"));
    }

    void upperCaseInTheBoxOnly()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({QStringLiteral("Naziv=\"a\"")}));
        QVERIFY(w.start());
        w.type(ATK, QStringLiteral("ab1č"));
        QCOMPARE(w.edit(ATK)->text(), line("AB1Č"));
        w.tab();
        QCOMPARE(w.value(ATK), line("AB1Č"));

        editCell(w, 0, 3, QStringLiteral("xy"));
        QTest::keyClick(w.focus(), Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate commits on Return from the event loop
        QCOMPARE(w.value(ATK), line("xy"));
    }

    void textLimitCountsCodePoints()
    {
        WindowFixture w;
        const QString overlong = QStringLiteral("ABCDEFGHIJKL"); // two over the limit of ATK
        w.writeDatabase(WindowFixture::packet(
            {QStringLiteral("Naziv=\"a\" ATK=\"") + overlong + QStringLiteral("\"")}));
        QVERIFY(w.start());
        QCOMPARE(w.edit(ATK)->text(), overlong); // shown whole, never cut
        w.type(Valuta, QStringLiteral("ččč€€"));
        QCOMPARE(w.edit(Valuta)->text(), line("ččč"));
        // Eleven characters outside the basic plane are 22 UTF-16 units; ten are taken.
        w.type(Tar_br, QString::fromUcs4(U"😀😀😀😀😀😀😀😀😀😀😀"));
        QCOMPARE(w.edit(Tar_br)->text(), QString::fromUcs4(U"😀😀😀😀😀😀😀😀😀😀"));
    }

    void gridEditCommitsWhenLeavingTheGrid()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet(
            {QStringLiteral("Naziv=\"a\" Dobavljac=\"S1\""), QStringLiteral("Naziv=\"b\"")}));
        QVERIFY(w.start());
        editCell(w, 0, 6, QStringLiteral("S2")); // Dobavljac
        QCOMPARE(w.table().currentRow(), 0u);
        w.clickAt(w.edit(Naziv));
        QCOMPARE(w.table().state(), TableState::Browse);
        QCOMPARE(w.valueAt(0, Dobavljac), line("S2"));

        // The committed edit of an older record is what the next new record carries.
        w.click("BitBtnAdd");
        QCOMPARE(w.value(Dobavljac), line("S2"));

        // Esc in a cell cancels what was typed there.
        w.click("BitBtnLast");
        editCell(w, 2, 1, QStringLiteral("zzz"));
        QTest::keyClick(w.focus(), Qt::Key_Escape);
        QCOMPARE(w.valueAt(2, Naziv), line("b"));
    }

    void clickIntoTheGridFromThePriceBox()
    {
        WindowFixture w;
        w.writeDatabase(
            WindowFixture::packet({QStringLiteral("Naziv=\"a\""), QStringLiteral("Naziv=\"b\"")}));
        QVERIFY(w.start());
        w.click("BitBtnAdd");
        w.type(Naziv, QStringLiteral("new"));
        w.type(Cijena, QStringLiteral("5"));
        QTableView *g = grid(w);
        w.clickAt(g->viewport(), g->visualRect(g->model()->index(0, 1)).center());
        // The click begins the next record; it does not also move to the row under the mouse.
        QCOMPARE(w.focus(), w.edit(Tar_br));
        QCOMPARE(w.table().state(), TableState::Insert);
        QCOMPARE(w.valueAt(w.table().currentRow() + 1, Naziv), line("new"));
        QCOMPARE(w.count(), line("3"));
    }

    void deletingNeverCommitsTheRecordItRemoves()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({QStringLiteral("Naziv=\"a\" Dobavljac=\"SA\""),
                                               QStringLiteral("Naziv=\"b\" Dobavljac=\"SB\""),
                                               QStringLiteral("Naziv=\"c\" Dobavljac=\"SC\"")}));
        QVERIFY(w.start());
        w.click("BitBtnFirst");
        w.type(Naziv, QStringLiteral("a2"));
        w.click("BitBtnNext"); // commits a: SA carries over
        w.type(Dobavljac, QStringLiteral("WRONG"));
        w.click("BitBtnDel");
        QCOMPARE(w.value(Naziv), line("c"));
        w.click("BitBtnAdd");
        QCOMPARE(w.value(Dobavljac), line("SA"));

        // Dropping a begun record with a changed carried field keeps the earlier values too.
        w.type(Dobavljac, QStringLiteral("TYPO"));
        w.click("BitBtnDel");
        w.click("BitBtnAdd");
        QCOMPARE(w.value(Dobavljac), line("SA"));
    }

    void escapeLeavesTheRecordUncommitted()
    {
        WindowFixture w;
        w.writeDatabase(WindowFixture::packet({QStringLiteral("Naziv=\"a\" Dobavljac=\"SA\""),
                                               QStringLiteral("Naziv=\"b\" Dobavljac=\"SB\"")}));
        QVERIFY(w.start());
        w.type(Naziv, QStringLiteral("b2"));
        w.click("BitBtnFirst"); // commits b: SB carries over

        editCell(w, 0, 2, QStringLiteral("zz"));
        QTest::keyClick(w.focus(), Qt::Key_Escape);
        QCOMPARE(w.table().state(), TableState::Browse);
        w.clickAt(w.edit(Tar_br)); // leaving the grid commits nothing

        w.type(Protokol, QStringLiteral("zz"));
        QTest::keyClick(w.focus(), Qt::Key_Escape);
        QCOMPARE(w.edit(Protokol)->text(), QString());
        QCOMPARE(w.table().state(), TableState::Browse);

        w.click("BitBtnAdd");
        QCOMPARE(w.value(Dobavljac), line("SB"));
    }

    void anOverlongValueIsNeverLengthened()
    {
        WindowFixture w;
        w.writeDatabase(
            WindowFixture::packet({QStringLiteral("Naziv=\"a\" ATK=\"ABCDEFGHIJKL\"")}));
        QVERIFY(w.start());
        QLineEdit *atk = w.edit(ATK);
        atk->setFocus(Qt::MouseFocusReason);
        atk->end(false);
        WindowFixture::keys(atk, QStringLiteral("XYZ"));
        QCOMPARE(atk->text(), line("ABCDEFGHIJKL"));
        QTest::keyClick(atk, Qt::Key_Backspace);
        QTest::keyClick(atk, Qt::Key_Backspace);
        WindowFixture::keys(atk, QStringLiteral("X"));
        QCOMPARE(atk->text(), line("ABCDEFGHIJ")); // shortened to the limit, it stays there

        // A paste takes as much as fits.
        QGuiApplication::clipboard()->setText(QStringLiteral("12345678901234"));
        w.edit(Tar_br)->setFocus(Qt::MouseFocusReason);
        w.edit(Tar_br)->selectAll();
        QTest::keyClick(w.edit(Tar_br), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.edit(Tar_br)->text(), line("1234567890"));

        // The same in a cell.
        QWidget *editor = editCell(w, 0, 3, QString());
        auto *cell = qobject_cast<QLineEdit *>(editor);
        cell->end(false);
        WindowFixture::keys(cell, QStringLiteral("Q"));
        QCOMPARE(cell->text(), line("ABCDEFGHIJ"));
    }

    // The clerk switches to another program and comes back with a click straight on a button.
    void typedTextGoesWithItsRecord()
    {
        WindowFixture w;
        w.writeDatabase(
            WindowFixture::packet({QStringLiteral("Naziv=\"a\""), QStringLiteral("Naziv=\"b\""),
                                   QStringLiteral("Naziv=\"c\"")}));
        QVERIFY(w.start());
        w.click("BitBtnFirst");
        w.type(Protokol, QStringLiteral("ZA A"));
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        w.click("BitBtnDel");
        QCOMPARE(w.value(Naziv), line("b"));
        QCOMPARE(w.edit(Protokol)->text(), QString());

        w.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        w.click("BitBtnLast");
        w.type(Gen_ime, QStringLiteral("K-1"));
        w.click("BitBtnFirst");
        for (std::size_t row = 0; row < w.table().rowCount(); ++row)
            QCOMPARE(w.valueAt(row, Protokol), QString());

        // A refused cell keeps its text through such a click; the grid stays on the record.
        QTableView *g = grid(w);
        editCell(w, 0, 9, QStringLiteral("abc"));
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        Dialogs::takeShown();
        w.click("BitBtnDel");
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), line("'abc' nije ispravan broj."));
        QCOMPARE(w.table().rowCount(), 2u);
        QCOMPARE(g->currentIndex().row(), int(w.table().currentRow()));
    }

    void refusedNumberInABox()
    {
        WindowFixture w;
        w.writeDatabase(
            WindowFixture::packet({QStringLiteral("Naziv=\"a\""), QStringLiteral("Naziv=\"b\"")}));
        QVERIFY(w.start());
        Dialogs::takeShown();
        w.type(Kolicina, QStringLiteral("abc"));
        w.tab();
        auto shown = w.shownAfterEvents();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, line("'abc' nije ispravan broj."));
        QCOMPARE(shown[0].kind, Dialogs::Kind::Error);
        QCOMPARE(w.focus(), w.edit(Kolicina));
        QCOMPARE(w.edit(Kolicina)->text(), line("abc"));

        // A click on a button is swallowed: no move, no exit.
        w.click("BitBtnFirst");
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), line("'abc' nije ispravan broj."));
        QCOMPARE(w.table().currentRow(), 1u);
        QCOMPARE(w.focus(), w.edit(Kolicina));

        // Esc puts the stored value back; then the focus may leave.
        QTest::keyClick(w.edit(Kolicina), Qt::Key_Escape);
        QCOMPARE(w.edit(Kolicina)->text(), QString());
        w.click("BitBtnFirst");
        QCOMPARE(w.table().currentRow(), 0u);

        // In the price box neither the exit nor "Dodaj" runs.
        w.type(Cijena, QStringLiteral("1,2,3"));
        w.click("BitBtnAdd");
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), line("'1,2,3' nije ispravan broj."));
        QCOMPARE(w.table().rowCount(), 2u);
        QCOMPARE(w.focus(), w.edit(Cijena));

        // Closing refuses too, and keeps the window open.
        w.form->close();
        QVERIFY(w.form->isVisible());
        QCOMPARE(Dialogs::takeShown().size(), 1);
    }

    void refusedNumberInACell()
    {
        WindowFixture w;
        w.writeDatabase(
            WindowFixture::packet({QStringLiteral("Naziv=\"a\""), QStringLiteral("Naziv=\"b\"")}));
        QVERIFY(w.start());
        Dialogs::takeShown();
        QWidget *editor = editCell(w, 0, 9, QStringLiteral("x1")); // Kolicina
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), line("'x1' nije ispravan broj."));
        QCOMPARE(w.focus(), editor);
        QCOMPARE(qobject_cast<QLineEdit *>(editor)->text(), line("x1"));

        // A row change keeps the row and reopens the editor with the text.
        QTableView *g = grid(w);
        w.clickAt(g->viewport(), g->visualRect(g->model()->index(1, 1)).center());
        QCOMPARE(WindowFixture::texts(w.shownAfterEvents()), line("'x1' nije ispravan broj."));
        QCOMPARE(w.table().currentRow(), 0u);
        auto *reopened = qobject_cast<QLineEdit *>(w.focus());
        QVERIFY(reopened);
        QCOMPARE(reopened->text(), line("x1"));

        reopened->selectAll();
        WindowFixture::keys(reopened, QStringLiteral("7"));
        QTest::keyClick(reopened, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(w.valueAt(0, Kolicina), line("7"));
    }
};

QTEST_MAIN(TestDataEntry)
#include "TestDataEntry.moc"

#include "TestSupport.h"
#include "WindowFixture.h"

#include "gui/widgets/RecentLists.h"
#include "platform/AtomicFile.h"

#include <QLockFile>
#include <QMenu>

using namespace data;
using namespace Qt::StringLiterals;
using gui::Dialogs;

namespace {

QAction *tool(const WindowFixture &w, const QString &text)
{
    for (QAction *a : w.form->actions()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

// "Otvori popis…" with `folder` chosen and its questions answered; the boxes it showed.
QList<Dialogs::Shown> openOther(const WindowFixture &w, const QString &folder,
                                const QList<bool> &answers = {})
{
    Dialogs::takeShown();
    Dialogs::addAnswer(folder);
    for (const bool answer : answers)
        Dialogs::addAnswer(answer);
    tool(w, u"Otvori popis…"_s)->trigger();
    QList<Dialogs::Shown> shown = Dialogs::takeShown();
    if (shown.value(0).kind == Dialogs::Kind::OpenFolder)
        shown.removeFirst();
    return shown;
}

bool isLocked(const QString &folder)
{
    return QFile::exists(folder + u"/Baza.xml.lock"_s);
}

} // namespace

class TestOpenList : public QObject {
    Q_OBJECT

private slots:
    void init() { Dialogs::setScripted(true); }

    // The list that was open is saved as at close (its begun record of carried values alone
    // dropped) and its folder freed; the other list starts afresh: no carried values, no
    // history, no find, its folder in the title, the export and the recent lists.
    void theOpenListIsSavedAndTheOtherStartsAfresh()
    {
        QTemporaryDir other;
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"stari\" Dobavljac=\"Dob\""_s}));
        w.type(Name, u"promijenjen"_s);
        w.edit(Price)->setFocus(Qt::TabFocusReason);
        w.tab();
        QCOMPARE(w.value(Supplier), u"Dob"_s); // carried into the begun record
        w.form->findChild<QLineEdit *>(u"findText"_s)->setText(u"prom"_s);
        tool(w, u"Pronađi…"_s)->trigger();

        QCOMPARE(openOther(w, other.path()).size(), 0);
        QVERIFY(w.readDatabase().contains("promijenjen") && !isLocked(w.folder()));
        QCOMPARE(WindowFixture::read(w.databasePath()).count("<ROW "), 1);
        QVERIFY(isLocked(other.path()) && QFile::exists(other.filePath(u"Baza.xml"_s)));
        QCOMPARE(w.table().recordCount(), 0u);
        QCOMPARE(w.value(Supplier), QString());
        QVERIFY(!w.table().canUndo());
        QVERIFY(!w.widget("findBar")->isVisible() &&
                w.form->findChild<QLineEdit *>(u"findText"_s)->text().isEmpty());
        QVERIFY(w.form->windowTitle().endsWith(QDir::toNativeSeparators(other.path())));
        QCOMPARE(gui::RecentLists::folders().mid(0, 2), (QStringList{other.path(), w.folder()}));
        QMenu *recent = w.form->findChild<QMenu *>(u"recentLists"_s);
        QVERIFY(!recent->actions().at(0)->isEnabled() && recent->actions().at(1)->isEnabled());

        Dialogs::addAnswer(QString());
        w.click("exportButton");
        QCOMPARE(Dialogs::takeShown().value(0).text, other.filePath(u"trelavo.txt"_s));

        // Back through the recent lists; a folder that is gone is said so and forgotten.
        const QString gone = other.path() + u"/nema"_s;
        gui::RecentLists::add(gone);
        gui::RecentLists::add(w.folder());
        emit recent->aboutToShow();
        recent->actions().at(1)->trigger(); // `gone`
        QVERIFY(Dialogs::takeShown().value(0).text.contains(u"više ne postoji"_s));
        QVERIFY(!gui::RecentLists::folders().contains(gone));
        recent->actions().at(0)->trigger(); // the first folder
        QCOMPARE(w.column(Name), u"promijenjen"_s);
        QVERIFY(isLocked(w.folder()) && !isLocked(other.path()));
    }

    // When the open list cannot be saved, the clerk keeps it ("Ne": the other folder is freed)
    // or leaves it in its recovery copy, which that folder offers when it is opened again.
    void unsavedWorkStaysOrWaitsInItsCopy()
    {
        QTemporaryDir other;
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"stari\""_s}));
        w.type(Name, u"moj"_s);
        // Another program's file, of another size: the clock may not tell it apart.
        w.writeDatabase(WindowFixture::packet({u"Naziv=\"tuđi program\""_s}));
        for (const bool leave : {false, true}) {
            // The other program's file is kept, then the question.
            const auto shown = openOther(w, other.path(), {false, leave});
            QVERIFY2(shown.value(1).text.endsWith(u"Otvoriti drugi popis bez spremanja?"_s),
                     qPrintable(WindowFixture::texts(shown)));
            QCOMPARE(isLocked(other.path()), leave);
            QCOMPARE(w.column(Name), leave ? QString() : u"moj"_s);
        }
        QVERIFY(w.readDatabase().contains("tuđi") && !isLocked(w.folder()));
        const auto shown = openOther(w, w.folder(), {true}); // the copy back
        QVERIFY(shown.value(0).text.contains(u"Pronađen je nespremljeni rad"_s));
        QCOMPARE(w.column(Name), u"moj"_s);
    }

    // The other folder's lock, read-only folder and damaged file: as at the start, and the
    // open list stays open, its folder held, whenever the other is not opened.
    void theOtherFolderIsMetAsAtTheStart_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("opens");
        QTest::newRow("locked, Ne") << u"locked"_s << false << false;
        QTest::newRow("locked, Da") << u"locked"_s << true << true;
        QTest::newRow("damaged") << u"damaged"_s << false << false;
        QTest::newRow("cannot be written") << u"unwritable"_s << false << true;
    }
    void theOtherFolderIsMetAsAtTheStart()
    {
        QFETCH(QString, kind);
        QFETCH(bool, answer);
        QFETCH(bool, opens);
        QTemporaryDir other;
        const QString database = other.filePath(u"Baza.xml"_s);
        QLockFile holder(database + u".lock"_s);
        if (kind == u"locked"_s)
            QVERIFY(holder.tryLock(0));
        if (kind == u"damaged"_s) {
            QFile damaged(database);
            QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("<DATAPACKET"));
        }
        // As a folder that cannot be written, even for an administrator.
        if (kind == u"unwritable"_s)
            setWriteHoldForTesting([&](const std::string &file) {
                if (file == database.toStdString())
                    throw Error("pristup odbijen");
            });
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"ovdje\""_s}));
        const auto shown = openOther(w, other.path(), {answer});
        setWriteHoldForTesting({});
        QCOMPARE(w.column(Name), opens ? QString() : u"ovdje"_s);
        QCOMPARE(isLocked(w.folder()), !opens);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind,
                 kind == u"locked"_s ? Dialogs::Kind::Question : Dialogs::Kind::Error);
        if (kind == u"damaged"_s) {
            QCOMPARE(WindowFixture::read(database), QByteArray("<DATAPACKET"));
            QVERIFY(!isLocked(other.path()));
        }
        if (kind == u"unwritable"_s)
            QVERIFY(w.table().isActive() && !QFile::exists(database)); // typing goes on
    }
};

QTEST_MAIN(TestOpenList)
#include "TestOpenList.moc"

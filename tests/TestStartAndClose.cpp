#include "TestSupport.h"
#include "WindowFixture.h"

#include "gui/widgets/RecentLists.h"
#include "platform/AtomicFile.h"

#include <QHeaderView>
#include <QLockFile>
#include <QMenu>
#include <QTableView>

using namespace data;
using namespace Qt::StringLiterals;
using gui::Dialogs;

namespace {

// "Otvori popis…" with `folder` chosen and the questions answered; the boxes shown after.
QList<Dialogs::Shown> openOther(const WindowFixture &w, const QString &folder,
                                const QVariantList &answers = {})
{
    for (const QVariant &answer : QVariantList{folder} + answers)
        Dialogs::addAnswer(answer);
    Dialogs::takeShown();
    w.form->findChild<QMenu *>()->actions().at(5)->trigger(); // "Otvori popis…"
    return Dialogs::takeShown().mid(1);
}

bool isLocked(const QString &folder)
{
    return QFile::exists(folder + u"/Baza.xml.lock"_s);
}

} // namespace

class TestStartAndClose : public QObject {
    Q_OBJECT

private slots:
    void init() { Dialogs::setScripted(true); }
    void cleanup()
    {
        setWriteFailureForTesting(std::nullopt);
        setWriteHoldForTesting({});
    }

    // The window's place, size and the columns widened by hand survive a restart; a place off
    // every screen falls back to the first start's. A wider window shares its room among the
    // other columns.
    void windowRemembersTheClerk()
    {
        const auto header = [](WindowFixture &w) {
            return w.widget<QTableView>("recordGrid")->horizontalHeader();
        };
        QPoint firstPlace;
        QSize size;
        {
            WindowFixture w;
            QVERIFY(w.start());
            QCoreApplication::processEvents(); // the placing waits for the event loop
            firstPlace = w.form->pos();
            w.form->resize(w.form->minimumWidth() + 1, 400); // the offscreen screen is small
            size = w.form->size();
            w.form->move(0, 50);
            header(w)->resizeSection(1, 300); // Naziv, by hand
            w.click("exitButton");
        }
        {
            WindowFixture w;
            QVERIFY(w.start());
            QCoreApplication::processEvents();
            QCOMPARE(w.form->size(), size);
            QCOMPARE(w.form->pos(), QPoint(0, 50));
            QCOMPARE(header(w)->sectionSize(1), 300);
            QCOMPARE(header(w)->sectionSize(0), 41);
            w.form->resize(1600, 500);
            QVERIFY(header(w)->sectionSize(0) > 41);
            QCOMPARE(header(w)->sectionSize(1), 300);
            // An equal share each, but for a pixel of the remainder.
            QVERIFY(qAbs((header(w)->sectionSize(0) - 41) - (header(w)->sectionSize(11) - 64)) <=
                    1);
            w.form->move(-5000, -5000);
            w.click("exitButton");
        }
        WindowFixture w;
        QVERIFY(w.start());
        QCoreApplication::processEvents();
        QCOMPARE(w.form->pos(), firstPlace);
    }

    void firstStartInAnEmptyFolder()
    {
        WindowFixture w;
        QVERIFY(w.start());
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(u"Kalvendor\n\n"_s));
        QVERIFY(shown[0].text.endsWith(u"\n\nv 2.1"_s));
        QCOMPARE(shown[0].text.count(QLatin1Char('\n')), 11);

        const QByteArray file = w.readDatabase();
        QCOMPARE(file.count("<FIELD "), 12);
        QVERIFY(!file.contains("<ROW "));

        // One blank record ready for typing; nothing to delete yet.
        QCOMPARE(w.table().rowCount(), 1u);
        QCOMPARE(w.table().state(), TableState::Insert);
        QVERIFY(!w.button("deleteButton")->isEnabled());
        QCOMPARE(w.count(), u"0"_s);
        QCOMPARE(w.focus(), w.button("addButton"));
    }

    // The clerk can type all the same; the failed write leaves nothing behind but the lock.
    void firstStartInAFolderThatCannotBeWritten()
    {
        WindowFixture w;
        setWriteFailureForTesting(WriteStep::Rename);
        QVERIFY(w.start());
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].kind, Dialogs::Kind::Error);
        QVERIFY2(shown[1].text.startsWith(
                     u"Datoteku „%1/Baza.xml” nije moguće spremiti: "_s.arg(w.folder())),
                 qPrintable(shown[1].text));
        QCOMPARE(QDir(w.folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"Baza.xml.lock"_s});
        QCOMPARE(w.table().state(), TableState::Insert);
        QVERIFY(!w.button("deleteButton")->isEnabled());
    }

    void startWithRecordsAndClose()
    {
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"a\""_s, u"Tar_br=\"1\""_s, u"Naziv=\" \" Kolicina=\"2.5\""_s,
                             u"Naziv=\"b\""_s}));
        // It opens on the last record.
        QCOMPARE(w.edit(Name)->text(), u"b"_s);
        QCOMPARE(w.widget<QTableView>("recordGrid")->currentIndex().row(), 3);
        QVERIFY(w.button("deleteButton")->isEnabled());
        QCOMPARE(w.count(), u"4"_s);
        QCOMPARE(w.valueAt(2, Quantity), u"2,5"_s);

        // Closing writes the edit in progress; the unnamed record goes, a name of spaces stays.
        w.type(Protocol, u"P-9"_s);
        w.click("exitButton");
        QVERIFY(!w.form->isVisible());
        QVERIFY(Dialogs::takeShown().size() == 1);
        Table reread(productSchema());
        readDatabase(reread, w.databasePath().toStdString());
        QCOMPARE(namesOf(reread), std::string("a b"));
        QCOMPARE(reread.text(2, Protocol), std::string("P-9"));
    }

    void aFailedWriteAsksBeforeClosing()
    {
        WindowFixture w;
        // A file where the copies' folder belongs: the copy fails too, and says why in Croatian.
        QCoreApplication::setApplicationName(u"Kalvendor-blokiran"_s);
        QFile blocker(os::RecoveryCopy::folder());
        QVERIFY(QDir().mkpath(QFileInfo(blocker).path()) && blocker.open(QIODevice::WriteOnly));
        QVERIFY(w.startWith({u"Naziv=\"a\""_s}));
        const QByteArray before = w.readDatabase();
        Dialogs::takeShown();
        w.type(Name, u"changed"_s);

        setWriteFailureForTesting(WriteStep::Flush);
        Dialogs::addAnswer(false);
        w.form->close();
        auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, Dialogs::Kind::Question);
        QCOMPARE(shown[0].title, u"Pažnja!"_s);
        QVERIFY(shown[0].text.startsWith(u"Baza „%1” nije spremljena: "_s.arg(w.databasePath())));
        QVERIFY(shown[0].text.endsWith(u"\n\nZatvoriti program bez spremanja?"_s));
        QVERIFY2(shown[0].text.contains(
                     u"Ni kopija nespremljenog rada nije spremljena: Datoteku „%1/"_s.arg(
                         blocker.fileName())),
                 qPrintable(shown[0].text));
        QCOMPARE(shown[0].defaultButton, QMessageBox::No); // Enter must not drop the only copy
        // No: the window stays open with every record, the old file whole.
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.value(Name), u"changed"_s);
        QCOMPARE(w.readDatabase(), before);

        // Yes: the window closes without writing.
        Dialogs::addAnswer(true);
        w.form->close();
        QVERIFY(!w.form->isVisible());
        QCOMPARE(w.readDatabase(), before);
        QCOMPARE(QDir(w.folder()).entryList(QDir::Files), QStringList{u"Baza.xml"_s}); // no lock
        blocker.remove();
    }

    // The work survives a folder that vanishes: in the copy while it is gone, in the folder
    // once it is back.
    // Windows keeps a folder in use from vanishing; there a database that another program holds
    // open makes the write fail the same way.
    void aVanishedFolderIsReportedAtClose()
    {
        WindowFixture w;
        QVERIFY(w.start());
        Dialogs::takeShown();
        w.type(Name, u"prvi"_s);
#ifdef _WIN32
        QFile holder(w.databasePath());
        QVERIFY(holder.open(QIODevice::ReadOnly));
#else
        QVERIFY(QDir(w.folder()).removeRecursively());
#endif
        w.form->close();
        const auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(u"Baza „%1” nije spremljena: "_s.arg(w.databasePath())));
        QVERIFY(w.form->isVisible());
        QVERIFY(WindowFixture::read(w.recoveryFiles().value(0)).contains("Naziv=\"prvi\""));

#ifdef _WIN32
        holder.close();
#else
        QVERIFY(QDir().mkpath(w.folder()));
#endif
        w.form->close();
        QVERIFY(!w.form->isVisible());
        QVERIFY(Dialogs::takeShown().isEmpty());
        QVERIFY(w.readDatabase().contains("Naziv=\"prvi\""));
        QVERIFY(w.recoveryFiles().isEmpty());
    }

    void anUnreadableFileLeavesTheTableClosed()
    {
        WindowFixture w;
        const QByteArray garbage = QByteArrayLiteral("<DATAPACKET><ROWDATA><ROW Naziv=\"a\"");
        w.writeDatabase(garbage);
        QVERIFY(w.start());
        auto shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].kind, Dialogs::Kind::Error);
        QVERIFY2(shown[1].text.startsWith(
                     u"Datoteka „%1/Baza.xml” nije ispravna (redak 1): "_s.arg(w.folder())),
                 qPrintable(shown[1].text));

        QVERIFY(!w.table().isActive());
        QVERIFY(w.edit(Name)->isReadOnly());
        // Navigation and delete do nothing on a closed table; the export says why it does not.
        w.click("firstButton");
        w.click("deleteButton");
        QCOMPARE(w.focus(), w.edit(TariffNumber));
        QVERIFY(Dialogs::takeShown().isEmpty());
        Dialogs::addAnswer(QDir(w.folder()).filePath(u"x.txt"_s));
        w.click("exportButton");
        shown = w.shownAfterEvents();
        QCOMPARE(WindowFixture::texts(shown), u"DataSet nije aktivan."_s);
        QCOMPARE(shown[0].title, u"Greška!"_s);
        QCOMPARE(w.focus(), w.button("addButton"));

        // Closing writes nothing: the file stays byte for byte as it was.
        w.form->close();
        QVERIFY(!w.form->isVisible());
        QCOMPARE(w.readDatabase(), garbage);
        QCOMPARE(QDir(w.folder()).entryList(QDir::Files), QStringList{u"Baza.xml"_s}); // no lock
    }
    // Another folder's list is met as at the start, and the open one ends as at close (its
    // begun record of carried values alone dropped, "Otvoriti drugi popis bez spremanja?" when
    // it cannot be saved, its copy offered when it is opened again). The other list starts
    // afresh; the open list stays, its folder held, whenever the other is not opened.
    void anotherListIsOpenedAsAtTheStart_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariantList>("answers");
        QTest::addColumn<QString>("names"); // in the window afterwards
        QTest::newRow("new folder") << u"new"_s << QVariantList{} << QString();
        QTest::newRow("locked, Ne") << u"locked"_s << QVariantList{false} << u"drugi||moj"_s;
        QTest::newRow("locked, Da") << u"locked"_s << QVariantList{true} << QString();
        QTest::newRow("damaged") << u"damaged"_s << QVariantList{} << u"drugi|moj"_s;
        QTest::newRow("cannot be written") << u"unwritable"_s << QVariantList{} << QString();
        QTest::newRow("copy waiting") << u"copy"_s << QVariantList{true} << u"čeka"_s;
        QTest::newRow("unsaved, Ne")
            << u"unsaved"_s << QVariantList{false, false} << u"drugi|moj"_s;
        QTest::newRow("unsaved, Da") << u"unsaved"_s << QVariantList{false, true} << QString();
        QTest::newRow("the open folder by another path")
            << u"same"_s << QVariantList{} << u"drugi||moj"_s;
    }
    void anotherListIsOpenedAsAtTheStart()
    {
        QFETCH(QString, kind);
        QFETCH(QVariantList, answers);
        QFETCH(QString, names);
        QTemporaryDir other;
        const QString database = other.filePath(u"Baza.xml"_s);
        QLockFile holder(database + u".lock"_s);
        QVERIFY(kind != u"locked"_s || holder.tryLock(0));
        QFile file(kind == u"copy"_s ? os::RecoveryCopy::folderCopyPath(database) : database);
        if (kind == u"damaged"_s || kind == u"copy"_s)
            QVERIFY(file.open(QIODevice::WriteOnly) &&
                    file.write(kind == u"copy"_s ? WindowFixture::packet({u"Naziv=\"čeka\""_s})
                                                 : QByteArray("<DATAPACKET")));
        file.close();
        if (kind == u"unwritable"_s) // even for an administrator
            setWriteHoldForTesting([&](const std::string &name) {
                if (name == database.toStdString())
                    throw Error("pristup odbijen");
            });
        WindowFixture w;
        QVERIFY(w.startWith({u"Naziv=\"drugi\""_s, u"Naziv=\"stari\" Dobavljac=\"Dob\""_s}));
        w.type(Name, u"moj"_s);
        if (kind == u"unsaved"_s) // another program's file, of another size than the clock may miss
            w.writeDatabase(WindowFixture::packet({u"Naziv=\"tuđi program\""_s}));
        w.edit(Price)->setFocus(Qt::TabFocusReason);
        w.tab();                   // a record begun with "Dob" carried over
        w.edit(Price)->setFocus(); // left by the switch: no record begun in the other list
#ifdef Q_OS_WIN
        const QString same = w.folder().toUpper();
#else
        const QString same = other.filePath(u"link"_s);
        QVERIFY(QFile::link(w.folder(), same));
#endif
        const auto shown = openOther(w, kind == u"same"_s ? same : other.path(), answers);
        setWriteHoldForTesting({});
        QCOMPARE(w.column(Name), names);
        const bool opened = !names.contains(u"moj"_s);
        QCOMPARE(isLocked(w.folder()), !opened);
        QCOMPARE(w.readDatabase().contains("moj"),
                 kind != u"unsaved"_s && (opened || kind == u"damaged"_s));
        QCOMPARE(shown.size(), answers.size() + (kind == u"damaged"_s || kind == u"unwritable"_s ||
                                                 kind == u"same"_s));
        QCOMPARE(WindowFixture::read(database).startsWith("<DATAPACKET"), kind == u"damaged"_s);
        if (kind == u"unsaved"_s)
            QVERIFY(shown[1].text.endsWith(u"\n\nOtvoriti drugi popis bez spremanja?"_s));
        QCOMPARE(shown.value(0).text.endsWith(u"već je otvoren."_s), kind == u"same"_s);
        if (!opened)
            return;
        QVERIFY(w.value(Supplier).isEmpty() && !w.table().canUndo());
        QVERIFY(w.form->windowTitle().endsWith(QDir::toNativeSeparators(other.path())));
        Dialogs::addAnswer(QString());
        w.click("exportButton");
        QCOMPARE(Dialogs::takeShown().value(0).text, other.filePath(u"trelavo.txt"_s));
        // Back through the recent lists; a folder that is gone is said so and forgotten.
        gui::RecentLists::add(other.path() + u"/nema"_s);
        QMenu *recent = w.form->findChild<QMenu *>(u"recentLists"_s);
        emit recent->aboutToShow();
        QVERIFY(!recent->actions().at(1)->isEnabled()); // the open list
        recent->actions().at(0)->trigger();
        QVERIFY(Dialogs::takeShown().value(0).text.contains(u"više ne postoji"_s));
        Dialogs::addAnswer(true); // the copy of unsaved work back
        recent->actions().at(1)->trigger();
        QCOMPARE(w.column(Name), u"drugi|moj"_s);
    }
};

QTEST_MAIN(TestStartAndClose)
#include "TestStartAndClose.moc"

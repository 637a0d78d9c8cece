#include "app/ProductListWindow.h"
#include "gui/dialogs/Dialogs.h"
#include "gui/widgets/ScreenFit.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTranslator>

using namespace Qt::StringLiterals;
using gui::Dialogs;

class TestWindowLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // As the program does: Qt's own button texts in Croatian.
        QVERIFY(m_qtTexts.load(QLocale(QLocale::Croatian, QLocale::Croatia), u"qtbase"_s, u"_"_s,
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
        QApplication::installTranslator(&m_qtTexts);
    }

    void grid()
    {
        ProductListWindow window;
        auto *grid = window.findChild<QTableView *>(u"recordGrid"_s);
        const QAbstractItemModel *model = grid->model();
        QStringList titles;
        for (int c = 0; c < model->columnCount(); ++c)
            titles << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles,
                 (QStringList{u"Tar_br"_s, u"Naziv"_s, u"Kataloški broj"_s, u"ATK"_s,
                              u"Proizvodjac"_s, u"Protokol"_s, u"Dobavljac"_s, u"Korisnik"_s,
                              u"Jed_mjere"_s, u"Kolicina"_s, u"Valuta"_s, u"Cijena"_s}));

        // Named for a screen reader as the boxes are by their captions.
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(grid);
        QCOMPARE(table->role(), QAccessible::Table);
        QCOMPARE(table->text(QAccessible::Name), u"Popis proizvoda"_s);
        QCOMPARE(table->text(QAccessible::Description),
                 u"Svi upisani proizvodi, jedan po retku. Zapisi s upozorenjem označeni su, a "
                 u"razlog upozorenja čita se u opisu ćelije."_s);
    }

    // The title, then each caption by its label's object name, with the box it names.
    void captions()
    {
        ProductListWindow window;
        QStringList seen{window.windowTitle()};
        for (const char *name :
             {"captionTar_br", "recordCountCaption", "recordCount", "captionNaziv",
              "captionGen_ime", "captionATK", "captionProizvodjac", "captionProtokol",
              "captionDobavljac", "captionUvoznik", "captionJed_mjere", "captionKolicina",
              "captionValuta", "captionCijena"}) {
            const auto *label = window.findChild<QLabel *>(QLatin1String(name));
            QVERIFY2(label, name);
            seen << QLatin1String(name) + u'=' + label->text() +
                        (label->buddy() ? u'>' + label->buddy()->objectName() : QString());
        }
        QCOMPARE(seen, (QStringList{u"Kalvendor - suglasnost za uvoz medicinskih proizvoda"_s,
                                    u"captionTar_br=Tarifni broj : >editTar_br"_s,
                                    u"recordCountCaption=Broj zapisa : "_s, u"recordCount=0"_s,
                                    u"captionNaziv= Naziv :>editNaziv"_s,
                                    u"captionGen_ime=Kataloški broj :>editGen_ime"_s,
                                    u"captionATK=ATK :>editATK"_s,
                                    u"captionProizvodjac=Proizvođač :>editProizvodjac"_s,
                                    u"captionProtokol=Protokol :>editProtokol"_s,
                                    u"captionDobavljac= Dobavljač :>editDobavljac"_s,
                                    u"captionUvoznik=  Korisnik : >editUvoznik"_s,
                                    u"captionJed_mjere= Jedinica mjere :>editJed_mjere"_s,
                                    u"captionKolicina=Količina :>editKolicina"_s,
                                    u"captionValuta=Valuta : >editValuta"_s,
                                    u"captionCijena=Cijena : >editCijena"_s}));
    }

    // The boxes as the clerk sees them: the real QMessageBox, answered by a key.
    void realBoxes_data()
    {
        QTest::addColumn<Dialogs::Kind>("kind");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("seen"); // title | buttons, the default in brackets | icon
        QTest::addColumn<bool>("yes");
        QTest::newRow("message") << Dialogs::Kind::Message << int(Qt::Key_Return)
                                 << u"Poruka | [U redu] | 0"_s << false;
        QTest::newRow("question, Return")
            << Dialogs::Kind::Question << int(Qt::Key_Return) << u"Pažnja! | Ne [Da] | 0"_s << true;
        QTest::newRow("question, Esc") << Dialogs::Kind::Question << int(Qt::Key_Escape)
                                       << u"Pažnja! | Ne [Da] | 0"_s << false;
        QTest::newRow("question, No the default") << Dialogs::Kind::Question << int(Qt::Key_Return)
                                                  << u"Pažnja! | Da [Ne] | 0"_s << false;
        QTest::newRow("error") << Dialogs::Kind::Error << int(Qt::Key_Return)
                               << u"Kalvendor | [U redu] | 3"_s << false; // 3: the stop icon
    }

    void realBoxes()
    {
        QFETCH(Dialogs::Kind, kind);
        QFETCH(int, key);
        Dialogs::setScripted(false);
        const QString text = u"Praznim baze?\nDrugi red"_s;
        QString got;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            QStringList buttons;
            for (QAbstractButton *b : box->buttons()) {
                const QString shown = b->text().remove(u'&'); // Qt's translation adds Alt keys
                buttons << (b == box->defaultButton() ? u'[' + shown + u']' : shown);
            }
            buttons.sort();
            got = QStringList{box->text(), box->windowTitle(), buttons.join(u' '),
                              QString::number(box->icon())}
                      .join(u" | "_s);
            QTest::keyClick(box, Qt::Key(key));
        });
        bool answer = false;
        if (kind == Dialogs::Kind::Message)
            Dialogs::message(nullptr, text, u"Poruka"_s);
        else if (kind == Dialogs::Kind::Question)
            answer = Dialogs::question(nullptr, text, u"Pažnja!"_s,
                                       QTest::currentDataTag() == "question, No the default"_ba);
        else
            Dialogs::error(nullptr, text);
        QFETCH(QString, seen);
        QCOMPARE(got, text + u" | "_s + seen);
        QTEST(answer, "yes");
    }

    void fitIntoScreen_data()
    {
        QTest::addColumn<QRect>("wanted"); // the frame's top-left and the client size
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("fitted"); // with a frame of 4, 24, 4 and 4 pixels
        const QRect fullHd(0, 0, 1920, 1080);
        QTest::newRow("fits") << QRect(197, 109, 782, 545) << fullHd << QRect(197, 109, 782, 545);
        QTest::newRow("moved in from the right and bottom, the frame counted")
            << QRect(1500, 900, 782, 545) << fullHd << QRect(1130, 507, 782, 545);
        QTest::newRow("shrunk, on a second screen")
            << QRect(197, 109, 782, 545) << QRect(1024, 0, 512, 384) << QRect(1024, 0, 504, 356);
        QTest::newRow("never below the minimum, top-left kept")
            << QRect(-50, 900, 782, 545) << QRect(10, 20, 320, 240) << QRect(10, 20, 400, 300);
    }

    void fitIntoScreen()
    {
        QFETCH(QRect, wanted);
        QFETCH(QRect, available);
        const auto fitted = gui::fitIntoScreen(wanted.topLeft(), wanted.size(), QSize(400, 300),
                                               available, QMargins(4, 24, 4, 4));
        QTEST(QRect(fitted.framePosition, fitted.clientSize), "fitted");
    }

private:
    QTranslator m_qtTexts;
};

QTEST_MAIN(TestWindowLayout)
#include "TestWindowLayout.moc"

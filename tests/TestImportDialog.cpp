#include "gui/dialogs/ImportDialog.h"
#include "model/ProductSchema.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QtTest>

using namespace textimport;
using namespace Qt::StringLiterals;
using gui::ImportDialog;

class TestImportDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    // No mapping kept by an earlier run.
    void init()
    {
        const QString application = QCoreApplication::applicationName();
        QSettings(application, application).remove(u"uvoz"_s);
    }
    void cleanup() { ImportDialog::setScript({}); }

    void fieldChosenTwiceIsRefused()
    {
        ImportDialog dialog(readPasted("Naziv\tKoličina\nGaza\t5\n"));
        QCOMPARE(dialog.mapping(), Mapping({data::Name, data::Quantity}));
        QCOMPARE(dialog.importButton()->text(), u"Uvezi 1 zapis"_s);

        auto *chooser = dialog.findChild<QComboBox *>(u"fieldChooser1"_s);
        chooser->setCurrentIndex(chooser->findText(u"Naziv"_s));
        emit chooser->activated(chooser->currentIndex());
        QCOMPARE(dialog.refusal(), u"Polje „Naziv” odabrano je dvaput."_s);
        QVERIFY(!dialog.importButton()->isEnabled());
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    // The problems, the count and the note on tariff numbers imported without their grouping
    // follow the mapping chosen.
    void notesFollowTheMapping()
    {
        ImportDialog dialog(readPasted(
            "Gaza\t3004 90 00 00\t1\nZavoj\t3004.90.00.10\t5\nVata\t3004 90 00\t1.234\n"));
        const auto *note = dialog.findChild<QLabel *>(u"ungroupedNote"_s);
        const auto *problems = dialog.findChild<QListWidget *>();
        dialog.setMapping({data::Name, data::TariffNumber, data::Price});
        QCOMPARE(problems->item(0)->text(),
                 u"Redak 3: Cijena: „1.234” može biti 1234 ili 1,234: upišite 1234 ili 1,234."_s);
        QCOMPARE(dialog.importButton()->text(), u"Uvezi 2 zapisa"_s);
        QCOMPARE(note->text(), u"Tarifni broj: 2 vrijednosti uvest će se bez razmaka i točaka jer "
                               u"polje ima mjesta za najviše 10 znakova."_s);
        QVERIFY(!note->isHidden());
        dialog.setMapping({data::Name, data::TariffNumber, std::nullopt});
        QCOMPARE(problems->count(), 0);
        QCOMPARE(dialog.importButton()->text(), u"Uvezi 3 zapisa"_s);
        dialog.setHeaderRow(true);
        QVERIFY(note->text().startsWith(u"Tarifni broj: 1 vrijednost uvest će se "_s));
        dialog.setMapping({data::Name, std::nullopt, std::nullopt});
        QVERIFY(note->isHidden());
    }

    void supplierListAsItComes()
    {
        // A title, a date, an empty row; a currency in a heading; three products and their total.
        ImportDialog dialog(readBytes("Ponuda br. 245/2025 \xE2\x80\x93 Medika d.d.\r\n"
                                      "Datum: 3. 3. 2025.;;;;\r\n"
                                      ";;;;\r\n"
                                      "Naziv;JMJ;Tarifna oznaka;Cijena EUR;Iznos\r\n"
                                      "Gaza;kom;30059010;1,50;3,00\r\n"
                                      "Zavoj;kom;30059010;2,25;9,00\r\n"
                                      "Vata;kg;30059010;0,50;0,50\r\n"
                                      "UKUPNO;;;;12,50\r\n"));
        QVERIFY(dialog.headerRow());
        QCOMPARE(dialog.mapping(),
                 Mapping({data::Name, data::Unit, data::TariffNumber, data::Price, std::nullopt}));
        QCOMPARE(dialog.findChild<QCheckBox *>()->text(), u"Redak 4 je zaglavlje"_s);
        QCOMPARE(dialog.importButton()->text(), u"Uvezi 3 zapisa"_s);
        const auto *note = dialog.findChild<QLabel *>(u"layoutNote"_s);
        QCOMPARE(note->text(), u"Preskočeni retci iznad naslova: 2\n"
                               u"Retci sa zbrojem, koji se ne uvoze: 1 (redak 8)\n"
                               u"Valuta: 3 zapisa bez valute dobit će EUR iz naslova stupca "
                               u"„Cijena EUR”."_s);
        QCOMPARE(dialog.findChild<QListWidget *>()->count(), 0);
        for (const data::Record &r : dialog.importResult().records)
            QCOMPARE(r.value(data::Currency), "EUR");
        const auto *preview = dialog.findChild<QTableWidget *>();
        QStringList labels;
        for (int row = 1; row < preview->rowCount(); ++row)
            labels << preview->verticalHeaderItem(row)->text();
        QCOMPARE(labels.join(u','), u"Preskočeno,Preskočeno,Zaglavlje,5,6,7,Zbroj"_s);

        // Without headings, every row is a row of the list: the title has no name to be taken.
        dialog.setHeaderRow(false);
        QCOMPARE(note->text(), u"Retci sa zbrojem, koji se ne uvoze: 1 (redak 8)"_s);
        QCOMPARE(dialog.importButton()->text(), u"Uvezi 5 zapisa"_s);
        QCOMPARE(dialog.findChild<QListWidget *>()->count(), 1);

        // A first row that names the fields is headings with nothing above them, and says nothing.
        ImportDialog plain(readPasted("Naziv\tCijena\nGaza\t1\n"));
        QCOMPARE(plain.findChild<QCheckBox *>()->text(), u"Prvi redak je zaglavlje"_s);
        QVERIFY(plain.findChild<QLabel *>(u"layoutNote"_s)->isHidden());
    }

    void mappingIsKeptForItsHeadings()
    {
        const std::string first = "Artikl;Opis;Cijena\nGaza;sterilna;1,5\n";
        Mapping guessed;
        QString note;
        QString withoutHeadings;
        const auto look = [&](ImportDialog &d) {
            guessed = d.mapping();
            note = d.findChild<QLabel *>(u"layoutNote"_s)->text();
            d.setHeaderRow(false);
            withoutHeadings = d.findChild<QLabel *>(u"layoutNote"_s)->text();
        };
        const auto take = [](const Mapping &mapping) {
            return [mapping](ImportDialog &d) {
                d.setMapping(mapping);
                d.accept();
            };
        };
        // The clerk takes the description as the protocol.
        ImportDialog::setScript(take({data::Name, data::Protocol, data::Price}));
        QVERIFY(ImportDialog::run(nullptr, readBytes(first)));

        // Another supplier's headings, as wide and below a title, get what they name.
        ImportDialog::setScript(look);
        QVERIFY(!ImportDialog::run(nullptr,
                                   readBytes("Ponuda 12/2025\nArtikl;JMJ;VPC\nZavoj;kom;2\n")));
        QCOMPARE(guessed, Mapping({data::Name, data::Unit, data::Price}));
        QCOMPARE(note, u"Preskočeni retci iznad naslova: 1"_s);

        // The first supplier's headings again: the mapping chosen by hand, said to be so.
        QVERIFY(!ImportDialog::run(nullptr, readBytes("Artikl;Opis;Cijena\nVata;x;3\n")));
        QCOMPARE(guessed, Mapping({data::Name, data::Protocol, data::Price}));
        QCOMPARE(note, u"Stupci su raspoređeni kao pri zadnjem uvozu popisa s istim naslovima."_s);
        QVERIFY(withoutHeadings.isEmpty()); // it was kept for the headings

        // Chosen as the headings name them, nothing is kept for them any more.
        ImportDialog::setScript(take({data::Name, std::nullopt, data::Price}));
        QVERIFY(ImportDialog::run(nullptr, readBytes(first)));
        ImportDialog::setScript(look);
        QVERIFY(!ImportDialog::run(nullptr, readBytes(first)));
        QCOMPARE(guessed, Mapping({data::Name, std::nullopt, data::Price}));
        QVERIFY(note.isEmpty());
    }

    void runKeepsTheMappingOrCancels()
    {
        ImportDialog::setScript([](ImportDialog &d) {
            d.setMapping({std::nullopt, data::Name, data::ClassificationCode});
            d.accept();
        });
        const auto records = ImportDialog::run(nullptr, readPasted("x\tGaza\tA1\n"));
        QVERIFY(records && records->size() == 1);
        QCOMPARE(records->front().value(data::ClassificationCode), "A1");

        // The next list of that width starts from the same mapping; cancelling brings nothing.
        Mapping guessed;
        ImportDialog::setScript([&](ImportDialog &d) { guessed = d.mapping(); });
        QVERIFY(!ImportDialog::run(nullptr, readPasted("y\tZavoj\tB2\n")));
        QCOMPARE(guessed, Mapping({std::nullopt, data::Name, data::ClassificationCode}));
        // One of another width does not.
        QVERIFY(!ImportDialog::run(nullptr, readPasted("Zavoj\tB2\n")));
        QCOMPARE(guessed, Mapping(2));
    }
};

QTEST_MAIN(TestImportDialog)
#include "TestImportDialog.moc"

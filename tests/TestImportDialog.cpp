#include "data/ProductSchema.h"
#include "gui/dialogs/ImportDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

using namespace textimport;
using namespace Qt::StringLiterals;
using gui::ImportDialog;

class TestImportDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void fieldChosenTwiceIsRefused();
    void problemsFollowTheMapping();
    void ungroupedTariffNumbersAreCounted();
    void runKeepsTheMappingOrCancels();
};

void TestImportDialog::fieldChosenTwiceIsRefused()
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

void TestImportDialog::problemsFollowTheMapping()
{
    ImportDialog dialog(readPasted("Gaza\t1.234\nZavoj\t5\n"));
    dialog.setMapping({data::Name, data::Price});
    QCOMPARE(dialog.findChild<QListWidget *>()->item(0)->text(),
             u"Redak 1: Cijena: „1.234” može biti 1234 ili 1,234: upišite 1234 ili 1,234."_s);
    QCOMPARE(dialog.importButton()->text(), u"Uvezi 1 zapis"_s);

    dialog.setMapping({data::Name, std::nullopt});
    QCOMPARE(dialog.findChild<QListWidget *>()->count(), 0);
    QCOMPARE(dialog.importButton()->text(), u"Uvezi 2 zapisa"_s);
}

void TestImportDialog::ungroupedTariffNumbersAreCounted()
{
    ImportDialog dialog(
        readPasted("Gaza\t3004 90 00 00\nZavoj\t3004.90.00.10\nVata\t3004 90 00\n"));
    const auto *note = dialog.findChild<QLabel *>(u"ungroupedNote"_s);
    dialog.setMapping({data::Name, data::TariffNumber});
    QCOMPARE(note->text(), u"Tarifni broj: 2 vrijednosti uvest će se bez razmaka i točaka jer "
                           u"polje ima mjesta za najviše 10 znakova."_s);
    QVERIFY(!note->isHidden());
    dialog.setHeaderRow(true);
    QVERIFY(note->text().startsWith(u"Tarifni broj: 1 vrijednost uvest će se "_s));
    dialog.setMapping({data::Name, std::nullopt});
    QVERIFY(note->isHidden());
}

void TestImportDialog::runKeepsTheMappingOrCancels()
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
    ImportDialog::setScript({});
}

QTEST_MAIN(TestImportDialog)
#include "TestImportDialog.moc"

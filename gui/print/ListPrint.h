#pragma once

#include "gui/print/ListDocument.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QWidget;

namespace data {
class Checks;
class Table;
} // namespace data

namespace gui {

// "Ispis…": asks what goes on the list, then shows Qt's print preview of it, from which the clerk
// prints on a printer of their choice. A failed printer is reported; the table is only read.
void printList(QWidget *parent, const data::Table &table, const data::Checks &checks,
               const QString &databasePath);

// "Spremi kao PDF…": asks what goes on the list and for a file, offering "Popis <date>.pdf"
// beside the database, writes it whole or not at all, and says where, or that it was stopped.
// Throws data::WriteError when the file cannot be written.
void saveListAsPdf(QWidget *parent, const data::Table &table, const data::Checks &checks,
                   const QString &databasePath);

// The list as a PDF file, A4 landscape. False when `progress` stopped it, and then no file is
// written; throws data::WriteError when the file cannot be written.
bool writeListPdf(ListDocument &document, const QString &fileName,
                  const ListDocument::Progress &progress);

// The choices kept in the settings: the warnings for every folder, the line for `folder` (an
// absolute path) alone.
PrintChoices keptPrintChoices(const QString &folder);
void keepPrintChoices(const QString &folder, const PrintChoices &choices);

// Asked before a list is printed or saved: the line above it and whether the warnings go with it.
class PrintChoicesDialog : public QDialog {
public:
    PrintChoicesDialog(const PrintChoices &choices, bool toPdf, QWidget *parent = nullptr);

    PrintChoices choices() const;
    QLineEdit *lineBox() const { return m_line; }
    QCheckBox *warningsBox() const { return m_warnings; }

    // Offers the choices kept for `folder` and keeps the ones accepted; nothing when cancelled.
    static std::optional<PrintChoices> ask(QWidget *parent, const QString &folder, bool toPdf);
    // Tests: `script` is given the dialog instead of the clerk, and accepts or rejects it.
    static void setScript(std::function<void(PrintChoicesDialog &)> script);

private:
    QLineEdit *m_line;
    QCheckBox *m_warnings;
};

// Tests: how long the work goes on before its progress window shows (Qt's 300 ms by default).
void setProgressDelayForTesting(std::optional<int> ms);

} // namespace gui

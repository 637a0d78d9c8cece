#pragma once

#include "gui/print/ListDocument.h"

#include <QString>

class QWidget;

namespace data {
class Checks;
class Table;
} // namespace data

namespace gui {

// "Ispis…": Qt's print preview of the list, from which the clerk prints on a printer of their
// choice. A failed printer is reported; the table is only read.
void printList(QWidget *parent, const data::Table &table, const data::Checks &checks);

// "Spremi kao PDF…": asks for a file, offering "Popis <date>.pdf" beside the database, writes
// it whole or not at all, and says where. Throws data::WriteError when the file cannot be
// written.
void saveListAsPdf(QWidget *parent, const data::Table &table, const data::Checks &checks,
                   const QString &databasePath);

// The list as a PDF file, A4 landscape. False when `progress` stopped it, and then no file is
// written; throws data::WriteError when the file cannot be written.
bool writeListPdf(ListDocument &document, const QString &fileName,
                  const ListDocument::Progress &progress);

} // namespace gui

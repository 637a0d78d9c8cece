#include "gui/print/ListPrint.h"

#include "data/AtomicFile.h"
#include "gui/dialogs/Dialogs.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrinter>
#include <QProgressDialog>

namespace gui {

namespace {

const QString title = QStringLiteral("Popis medicinskih proizvoda");

QPageLayout listPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

// A progress dialog that can be cancelled; it shows itself only when the work takes a while.
class ProgressBox {
public:
    explicit ProgressBox(QWidget *parent)
        : m_dialog(QStringLiteral("Priprema popisa za ispis…"), QStringLiteral("Odustani"), 0, 1,
                   parent)
    {
        m_dialog.setWindowTitle(title);
        // The whole program waits, as for any box: the table must not change under a page.
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(300);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }

    ListDocument::Progress report()
    {
        return [this](int done, int total) {
            m_dialog.setMaximum(total);
            m_dialog.setValue(done); // modal: serves the event loop
            return !m_dialog.wasCanceled();
        };
    }

private:
    QProgressDialog m_dialog;
};

QString printFailure(const QPrinter &printer)
{
    if (!printer.outputFileName().isEmpty()) {
        return QStringLiteral("Popis nije moguće ispisati u datoteku „%1”: datoteku nije "
                              "moguće zapisati.")
            .arg(QDir::toNativeSeparators(QFileInfo(printer.outputFileName()).absoluteFilePath()));
    }
    return QStringLiteral("Popis nije moguće ispisati na pisač „%1”: pisač nije prihvatio ispis.")
        .arg(printer.printerName());
}

} // namespace

void printList(QWidget *parent, const data::Table &table, const data::Checks &checks)
{
    ListDocument document(table, &checks, QDate::currentDate());
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(listPageLayout());
    printer.setDocName(title);
    printer.setCreator(QStringLiteral("Kalvendor"));
    Dialogs::printPreview(parent, printer, [&](QPrinter *target) {
        // Over the preview, which is open while it paints.
        QWidget *over =
            QApplication::activeModalWidget() ? QApplication::activeModalWidget() : parent;
        ProgressBox progress(over);
        if (document.print(*target, progress.report()) == ListDocument::Result::DeviceFailed)
            Dialogs::error(over, printFailure(*target));
    });
}

void saveListAsPdf(QWidget *parent, const data::Table &table, const data::Checks &checks,
                   const QString &databasePath)
{
    const QDate today = QDate::currentDate();
    const QString suggested =
        QFileInfo(databasePath)
            .absoluteDir()
            .filePath(QStringLiteral("Popis %1.pdf").arg(today.toString(Qt::ISODate)));
    const QString fileName = Dialogs::saveFileName(parent, suggested, QStringLiteral("PDF (*.pdf)"),
                                                   QStringLiteral("pdf"));
    if (fileName.isEmpty())
        return;
    ListDocument document(table, &checks, today);
    ProgressBox progress(parent);
    if (writeListPdf(document, fileName, progress.report()))
        Dialogs::message(parent, QStringLiteral("Popis je spremljen u ") + fileName,
                         QStringLiteral("Poruka"));
}

bool writeListPdf(ListDocument &document, const QString &fileName,
                  const ListDocument::Progress &progress)
{
    // Made in memory and written as the database is: a failure leaves no file, or the old one.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageLayout(listPageLayout());
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Kalvendor"));
        writer.setResolution(600);
        switch (document.print(writer, progress)) {
        case ListDocument::Result::Stopped:
            return false;
        case ListDocument::Result::DeviceFailed:
            throw data::WriteError(fileName.toStdString(), "PDF nije moguće složiti");
        case ListDocument::Result::Done:
            break;
        }
    }
    data::writeFileAtomically(
        fileName.toStdString(),
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return true;
}

} // namespace gui

#include "gui/print/ListPrint.h"

#include "gui/dialogs/AppSettings.h"
#include "gui/dialogs/Dialogs.h"
#include "platform/AtomicFile.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPdfWriter>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace gui {

namespace {

using namespace Qt::StringLiterals;

const QString title = u"Popis medicinskih proizvoda"_s;
const QString warningsKey = u"ispis/upozorenja"_s;
const QString linesKey = u"ispis/retci"_s;
constexpr int keptLines = 100;
constexpr int lineLength = 200;

std::optional<int> &progressDelay()
{
    static std::optional<int> delay;
    return delay;
}

std::function<void(PrintChoicesDialog &)> &choicesScript()
{
    static std::function<void(PrintChoicesDialog &)> script;
    return script;
}

QPageLayout listPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

// A progress window that can be cancelled; it shows itself only when the work takes a while, and
// goes as soon as its owner does, before any message about the work.
class ProgressBox {
public:
    explicit ProgressBox(QWidget *parent)
        : m_dialog(u"Priprema popisa za ispis…"_s, QString(), 0, 1, parent)
        , m_cancel(new QPushButton(u"Odustani"_s))
    {
        m_dialog.setCancelButton(m_cancel);
        m_dialog.setWindowTitle(title);
        // The whole program waits, as for any box: the table must not change under a page.
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(progressDelay().value_or(300));
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }
    ~ProgressBox()
    {
        // Left to itself, the dialog's timer would show it over the message that follows.
        m_dialog.reset();
        m_dialog.hide();
    }
    ProgressBox(const ProgressBox &) = delete;
    ProgressBox &operator=(const ProgressBox &) = delete;

    ListDocument::Progress report()
    {
        return [this](int done, int total) {
            m_dialog.setMaximum(total);
            m_dialog.setValue(done); // may show it
            if (m_dialog.isVisible())
                QCoreApplication::processEvents();
            return !m_stoppable || !m_dialog.wasCanceled();
        };
    }

    // Pages painted on a printer are the printer's: it cannot be stopped any more.
    void sendingToPrinter()
    {
        m_stoppable = false;
        m_cancel->setEnabled(false);
        m_dialog.setLabelText(u"Stranice se šalju pisaču…"_s);
    }

private:
    QProgressDialog m_dialog;
    QPushButton *m_cancel;
    bool m_stoppable = true;
};

QString printFailure(const QPrinter &printer)
{
    if (!printer.outputFileName().isEmpty()) {
        return u"Popis nije moguće ispisati u datoteku „%1”: datoteku nije moguće zapisati."_s.arg(
            QDir::toNativeSeparators(QFileInfo(printer.outputFileName()).absoluteFilePath()));
    }
    return u"Popis nije moguće ispisati na pisač „%1”: pisač nije prihvatio ispis."_s.arg(
        printer.printerName());
}

// Qt's print preview paints on the printer with an engine of its own, which keeps the pages.
bool isPreview(QPrinter &printer)
{
    return printer.paintEngine() && printer.paintEngine()->type() == QPaintEngine::Picture;
}

QString folderOf(const QString &databasePath)
{
    return QFileInfo(databasePath).absolutePath();
}

} // namespace

PrintChoices keptPrintChoices(const QString &folder)
{
    const std::unique_ptr<QSettings> s = appSettings();
    PrintChoices choices;
    choices.warnings = s->value(warningsKey, false).toBool();
    const int size = s->beginReadArray(linesKey);
    for (int i = 0; i < size; ++i) {
        s->setArrayIndex(i);
        if (s->value(u"mapa"_s).toString() == folder) {
            choices.line = s->value(u"redak"_s).toString();
            break;
        }
    }
    s->endArray();
    return choices;
}

void keepPrintChoices(const QString &folder, const PrintChoices &choices)
{
    const std::unique_ptr<QSettings> s = appSettings();
    s->setValue(warningsKey, choices.warnings);
    // The folder's line first, then the others as they were, the oldest dropped.
    QList<std::pair<QString, QString>> lines;
    if (!choices.line.isEmpty())
        lines.append({folder, choices.line});
    const int size = s->beginReadArray(linesKey);
    for (int i = 0; i < size && lines.size() < keptLines; ++i) {
        s->setArrayIndex(i);
        const QString other = s->value(u"mapa"_s).toString();
        if (other != folder)
            lines.append({other, s->value(u"redak"_s).toString()});
    }
    s->endArray();
    s->remove(linesKey);
    s->beginWriteArray(linesKey, static_cast<int>(lines.size()));
    for (int i = 0; i < lines.size(); ++i) {
        s->setArrayIndex(i);
        s->setValue(u"mapa"_s, lines[i].first);
        s->setValue(u"redak"_s, lines[i].second);
    }
    s->endArray();
}

PrintChoicesDialog::PrintChoicesDialog(const PrintChoices &choices, bool toPdf, QWidget *parent)
    : QDialog(parent)
    , m_line(new QLineEdit(choices.line))
    , m_warnings(new QCheckBox(u"Ispiši i upozorenja (oznake u popisu i njihove razloge)"_s))
{
    setWindowTitle(toPdf ? u"Spremi kao PDF"_s : u"Ispis"_s);
    m_line->setMaxLength(lineLength);
    m_line->setMinimumWidth(m_line->fontMetrics().averageCharWidth() * 60);
    m_warnings->setChecked(choices.warnings);
    auto *label = new QLabel(u"&Redak iznad popisa (npr. broj zahtjeva):"_s);
    label->setBuddy(m_line);
    auto *note =
        new QLabel(u"Upozorenja su za vašu provjeru; ured koji prima popis ih ne treba."_s);
    note->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(toPdf ? u"Dalje…"_s : u"Pregled ispisa…"_s);
    buttons->button(QDialogButtonBox::Cancel)->setText(u"Odustani"_s);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_line);
    layout->addSpacing(8);
    layout->addWidget(m_warnings);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

PrintChoices PrintChoicesDialog::choices() const
{
    return {m_line->text().simplified(), m_warnings->isChecked()};
}

std::optional<PrintChoices> PrintChoicesDialog::ask(QWidget *parent, const QString &folder,
                                                    bool toPdf)
{
    PrintChoicesDialog dialog(keptPrintChoices(folder), toPdf, parent);
    if (choicesScript())
        choicesScript()(dialog);
    else
        dialog.exec();
    if (dialog.result() != QDialog::Accepted)
        return std::nullopt;
    keepPrintChoices(folder, dialog.choices());
    return dialog.choices();
}

void PrintChoicesDialog::setScript(std::function<void(PrintChoicesDialog &)> script)
{
    choicesScript() = std::move(script);
}

void setProgressDelayForTesting(std::optional<int> ms)
{
    progressDelay() = ms;
}

void printList(QWidget *parent, const data::Table &table, const data::Checks &checks,
               const QString &databasePath)
{
    const std::optional<PrintChoices> choices =
        PrintChoicesDialog::ask(parent, folderOf(databasePath), false);
    if (!choices)
        return;
    ListDocument document(table, &checks, QDate::currentDate(), *choices);
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(listPageLayout());
    printer.setDocName(title);
    printer.setCreator(u"Kalvendor"_s);
    bool stopped = false;
    Dialogs::printPreview(parent, printer, [&](QPrinter *target) {
        // Over the preview, which is open while it paints.
        QWidget *over =
            QApplication::activeModalWidget() ? QApplication::activeModalWidget() : parent;
        const bool preview = isPreview(*target);
        ListDocument::Result result = ListDocument::Result::Stopped;
        {
            ProgressBox progress(over);
            if (document.layOut(*target, progress.report())) {
                if (!preview)
                    progress.sendingToPrinter();
                result = document.paint(*target, progress.report());
            }
        }
        if (result == ListDocument::Result::DeviceFailed)
            Dialogs::error(over, printFailure(*target));
        stopped = stopped || result == ListDocument::Result::Stopped;
        return !stopped;
    });
    if (stopped)
        Dialogs::message(parent, u"Ispis je prekinut: pisaču nije poslano ništa."_s, u"Poruka"_s);
}

void saveListAsPdf(QWidget *parent, const data::Table &table, const data::Checks &checks,
                   const QString &databasePath)
{
    const std::optional<PrintChoices> choices =
        PrintChoicesDialog::ask(parent, folderOf(databasePath), true);
    if (!choices)
        return;
    const QDate today = QDate::currentDate();
    const QString suggested =
        QDir(folderOf(databasePath)).filePath(u"Popis %1.pdf"_s.arg(today.toString(Qt::ISODate)));
    const QString fileName = Dialogs::saveFileName(parent, suggested, u"PDF (*.pdf)"_s, u"pdf"_s);
    if (fileName.isEmpty())
        return;
    ListDocument document(table, &checks, today, *choices);
    bool written = false;
    {
        ProgressBox progress(parent);
        written = writeListPdf(document, fileName, progress.report());
    }
    Dialogs::message(parent,
                     written
                         ? u"Popis je spremljen u "_s + fileName
                         : u"Spremanje je prekinuto: popis nije spremljen u "_s + fileName + u"."_s,
                     u"Poruka"_s);
}

bool writeListPdf(ListDocument &document, const QString &fileName,
                  const ListDocument::Progress &progress)
{
    // Made in memory and written as the database is: a failure or a stop leaves no file, or the
    // old one.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageLayout(listPageLayout());
        writer.setTitle(title);
        writer.setCreator(u"Kalvendor"_s);
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

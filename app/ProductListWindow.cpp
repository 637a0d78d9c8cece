#include "app/ProductListWindow.h"

#include "app/OpenList.h"
#include "app/Version.h"
#include "gui/binding/DataSource.h"
#include "gui/binding/TableModel.h"
#include "gui/dialogs/Dialogs.h"
#include "gui/dialogs/ExceptionBox.h"
#include "gui/dialogs/ImportDialog.h"
#include "gui/print/ListPrint.h"
#include "gui/widgets/EntryPanel.h"
#include "gui/widgets/FieldEdit.h"
#include "gui/widgets/FindBar.h"
#include "gui/widgets/RecentLists.h"
#include "gui/widgets/RecordGrid.h"
#include "gui/widgets/ScreenFit.h"
#include "import/TextImport.h"
#include "model/Encoding.h"
#include "model/Plural.h"
#include "model/ProductSchema.h"
#include "model/TariffNumber.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

using namespace data;
using Button = gui::EntryPanel::Button;

namespace {

const QString programTitle = QStringLiteral("Kalvendor - suglasnost za uvoz medicinskih proizvoda");

// Where the window opens, when the screen has room for it.
constexpr QPoint windowPosition(197, 109);
constexpr QSize windowSize(782, 545);

QString startUpText()
{
    return QStringLiteral("Kalvendor\n\n"
                          "Ulica ljekarnika 12,\n"
                          "10000 Zagreb, Hrvatska\n\n"
                          "Tel: +385 1 555 0123\n"
                          "Fax: +385 1 555 0124\n"
                          "E-mail: podrska@kalvendor.example\n\n"
                          "Web: www.kalvendor.example\n\n"
                          "v " KALVENDOR_VERSION);
}

bool isEmptyRecord(const Record &record)
{
    bool empty = true;
    record.forEachValue(
        [&](std::size_t, std::string_view value) { empty = empty && value.empty(); });
    return empty;
}

// "Poništi unos zapisa", "Ponovi uvoz (7 zapisa)": the menu's name of a step of the history.
QString undoText(const std::optional<StepSummary> &step, bool redo)
{
    const QString verb = redo ? QStringLiteral("Ponovi") : QStringLiteral("Poništi");
    if (!step)
        return verb;
    const auto count = [&] {
        return QStringLiteral(" (%1 %2)")
            .arg(step->records)
            .arg(QString::fromUtf8(pluralForm(step->records, "zapis", "zapisa", "zapisa")));
    };
    switch (step->kind) {
    case StepKind::RecordChanged:
        return verb + QStringLiteral(" promjenu zapisa");
    case StepKind::RecordAdded:
        return verb + QStringLiteral(" unos zapisa");
    case StepKind::RecordsRemoved:
        return verb + QStringLiteral(" brisanje zapisa") +
               (step->records > 1 ? count() : QString());
    case StepKind::CellsFilled:
        return verb + QStringLiteral(" popunjavanje") + count();
    case StepKind::Imported:
        return verb + QStringLiteral(" uvoz") + count();
    case StepKind::Erased:
        return verb + QStringLiteral(" brisanje baze");
    }
    return verb;
}

bool isInside(const QWidget *widget, const QWidget *container)
{
    return widget && (widget == container || container->isAncestorOf(widget));
}

// Runs a handler that is called while the focus changes: a box must wait for the event loop.
template <typename F> void guardedLater(QWidget *parent, F &&handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        gui::showExceptionLater(parent, e);
    }
}

} // namespace

ProductListWindow::ProductListWindow(QWidget *parent)
    : QWidget(parent)
    , m_list(std::make_unique<OpenList>(this))
    , m_products(m_list->table())
    , m_saveDialog(QStringLiteral("Tekst (*.txt)"), QStringLiteral("txt"),
                   QStringLiteral("trelavo.txt"))
    , m_memory(windowPosition, windowSize)
{
    setObjectName(QStringLiteral("productListWindow"));
    setWindowTitle(programTitle);
    QIcon flask;
    for (const char *size : {"16", "32", "48", "256"})
        flask.addFile(QStringLiteral(":/icons/png/flask-") + QLatin1String(size) +
                      QStringLiteral(".png"));
    setWindowIcon(flask);
    m_dataSource = new gui::DataSource(m_products, this);
    m_dataSource->setObjectName(QStringLiteral("dataSource"));
    m_dataSource->setChecks(&m_list->checks());
    buildControls();
    connectCommands();
}

ProductListWindow::~ProductListWindow()
{
    disconnect(qApp, &QApplication::focusChanged, this, &ProductListWindow::onFocusChanged);
    // The controls and the data source hold on to the table, which goes before QWidget's own
    // destructor would delete them: they go first, in order.
    delete m_grid;
    delete m_panel;
    delete m_gridModel;
    delete m_dataSource;
}

const Table &ProductListWindow::table() const
{
    return m_products;
}

void ProductListWindow::buildControls()
{
    using gui::GridColumn;
    const auto field = [](ProductField f) { return static_cast<std::size_t>(f); };
    // Most columns are headed by the stored name; two by the caption, as the grid always was.
    const auto name = [](ProductField f) {
        return QString::fromStdString(productSchema()[f].name);
    };
    const auto caption = [](ProductField f) {
        return QString::fromStdString(productSchema()[f].caption);
    };
    std::vector<GridColumn> columns{
        {field(TariffNumber), name(TariffNumber), 41},
        {field(Name), name(Name), 80},
        {field(CatalogueNumber), caption(CatalogueNumber), 91},
        {field(ClassificationCode), name(ClassificationCode)},
        {field(Manufacturer), name(Manufacturer), 91},
        {field(Protocol), name(Protocol), 105},
        {field(Supplier), name(Supplier), 95},
        {field(Importer), caption(Importer), 105},
        {field(Unit), name(Unit)},
        {field(Quantity), name(Quantity)},
        {field(Currency), name(Currency)},
        {field(Price), name(Price)},
    };
    m_gridModel = new gui::TableModel(*m_dataSource, std::move(columns), this);
    m_grid = new gui::RecordGrid(*m_gridModel, this);
    m_grid->setObjectName(QStringLiteral("recordGrid"));
    // What a screen reader says of the grid; the boxes are named by their captions.
    m_grid->setAccessibleName(QStringLiteral("Popis proizvoda"));
    m_grid->setAccessibleDescription(
        QStringLiteral("Svi upisani proizvodi, jedan po retku. Zapisi s upozorenjem označeni su, "
                       "a razlog upozorenja čita se u opisu ćelije."));
    m_findBar = new gui::FindBar(*m_dataSource, this);
    m_panel = new gui::EntryPanel(*m_dataSource, this);

    auto *windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    windowLayout->setSpacing(0);
    windowLayout->addWidget(m_grid, 1);
    windowLayout->addWidget(m_findBar, 0);
    windowLayout->addWidget(m_panel, 0);
    // The panel before the grid.
    setTabOrder(m_panel->button(Button::Exit), m_grid);
    setAcceptDrops(true);
    gui::placeOnScreen(this, windowPosition, windowSize);
}

void ProductListWindow::connectCommands()
{
    const auto onClick = [this](Button b, auto handler) {
        connect(m_panel->button(b), &QPushButton::clicked, this, handler);
    };
    onClick(Button::Add, [this] { onAddClicked(); });
    onClick(Button::First, [this] { moveCursor([](Table &t) { t.first(); }); });
    onClick(Button::Prior, [this] { moveCursor([](Table &t) { t.prior(); }); });
    onClick(Button::Next, [this] { moveCursor([](Table &t) { t.next(); }); });
    onClick(Button::Last, [this] { moveCursor([](Table &t) { t.last(); }); });
    onClick(Button::Delete, [this] { onDeleteClicked(); });
    onClick(Button::Export, [this] { onExportClicked(); });
    onClick(Button::Erase, [this] { onEraseClicked(); });
    onClick(Button::Exit, [this] { close(); });
    connect(qApp, &QApplication::focusChanged, this, &ProductListWindow::onFocusChanged);

    addTool(QStringLiteral("Pronađi…"), Qt::CTRL | Qt::Key_F, [this] { m_findBar->open(); });
    m_undoAction = addTool(undoText(std::nullopt, false), Qt::CTRL | Qt::Key_Z,
                           [this] { onUndoClicked(false); });
    // Both redo keys on every platform.
    m_redoAction = addTool(undoText(std::nullopt, true), Qt::CTRL | Qt::Key_Y,
                           [this] { onUndoClicked(true); });
    m_redoAction->setShortcuts({Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z});
    m_undoAction->setEnabled(false);
    m_redoAction->setEnabled(false);
    addTool(QStringLiteral("Sljedeće upozorenje"), Qt::Key_F8, [this] { onWarningKey(true); });
    addTool(QStringLiteral("Prethodno upozorenje"), Qt::SHIFT | Qt::Key_F8,
            [this] { onWarningKey(false); });
    addTool(QStringLiteral("Otvori popis…"), {}, [this] { onOpenListClicked(); });
    m_recentMenu = m_panel->toolsMenu()->addMenu(QStringLiteral("Nedavni popisi"));
    m_recentMenu->setObjectName(QStringLiteral("recentLists"));
    // Another program may have opened a list since.
    connect(m_recentMenu, &QMenu::aboutToShow, this, &ProductListWindow::fillRecentMenu);
    addTool(QStringLiteral("Uvezi popis…"), {}, [this] { onImportFileClicked(); });
    addTool(QStringLiteral("Ispis…"), Qt::CTRL | Qt::Key_P, [this] { onPrintClicked(false); });
    addTool(QStringLiteral("Spremi kao PDF…"), {}, [this] { onPrintClicked(true); });
    connect(m_grid, &gui::RecordGrid::pasteRequested, this, &ProductListWindow::onGridPaste);
    connect(m_grid, &gui::RecordGrid::fillRequested, this, &ProductListWindow::onGridFill);

    connect(m_dataSource, &gui::DataSource::changed, this, &ProductListWindow::onTableChanged);
    connect(m_list.get(), &OpenList::recoveryProblemChanged, m_panel,
            &gui::EntryPanel::setRecoveryProblem);
}

QAction *ProductListWindow::addTool(const QString &text, const QKeySequence &shortcut,
                                    std::function<void()> handler)
{
    QAction *action = m_panel->toolsMenu()->addAction(text);
    action->setShortcut(shortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, std::move(handler));
    return action;
}

bool ProductListWindow::start()
{
    gui::Dialogs::message(nullptr, startUpText(), QString());
    if (!m_list->start())
        return false;
    showOpenList(false);
    return true;
}

void ProductListWindow::onOpenListClicked()
{
    // Typed text belongs to this list, and a number it refuses is said before anything else.
    if (!gui::guarded(this, [this] { m_dataSource->handOver(); }))
        return;
    const QString folder = gui::Dialogs::folderName(this, m_list->folder());
    if (!folder.isEmpty())
        openList(folder);
}

void ProductListWindow::openList(const QString &folder)
{
    gui::guarded(this, [&] {
        m_dataSource->handOver();
        m_grid->closeOpenEditor();
        if (m_list->openFolder(folder))
            showOpenList(true);
    });
}

void ProductListWindow::showOpenList(bool afterSwitch)
{
    if (afterSwitch) {
        setWindowTitle(programTitle + QStringLiteral(" - ") +
                       QDir::toNativeSeparators(m_list->folder()));
        m_findBar->clear();
        // As at the start: leaving the price box this way begins no record in the new list.
        m_movingFocus = true;
        m_panel->button(Button::Add)->setFocus();
        m_movingFocus = false;
    }
    // The export is offered beside the list it comes from.
    m_saveDialog.setFileName(QDir(m_list->folder()).filePath(QStringLiteral("trelavo.txt")));
    m_panel->button(Button::Delete)
        ->setEnabled(!m_products.isActive() || m_products.recordCount() > 0);
    gui::RecentLists::add(m_list->folder());
    fillRecentMenu();
}

void ProductListWindow::fillRecentMenu()
{
    // Later: this may run in the handler of one of them.
    for (QAction *old : m_recentMenu->actions()) {
        m_recentMenu->removeAction(old);
        old->deleteLater();
    }
    const QString open = QDir::cleanPath(m_list->folder());
    for (const QString &folder : gui::RecentLists::folders()) {
        QAction *entry = m_recentMenu->addAction(QDir::toNativeSeparators(folder));
        // The open list is there to be seen, not chosen.
        entry->setEnabled(folder != open);
        connect(entry, &QAction::triggered, this, [this, folder] {
            if (QFileInfo(folder).isDir()) {
                openList(folder);
                return;
            }
            gui::Dialogs::message(this,
                                  QStringLiteral("Mapa „%1” više ne postoji pa je uklonjena s "
                                                 "popisa nedavnih.")
                                      .arg(QDir::toNativeSeparators(folder)),
                                  gui::warningCaption());
            gui::RecentLists::remove(folder);
            fillRecentMenu();
        });
    }
    m_recentMenu->setEnabled(!m_recentMenu->isEmpty());
}

void ProductListWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        // Now the window manager's frame is known, or about to be.
        QTimer::singleShot(0, this, [this] { m_memory.restore(this, m_grid); });
        m_panel->button(Button::Add)->setFocus();
    }
}

void ProductListWindow::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    const bool closes = m_list->saveOnClose();
    m_closing = false;
    if (closes) {
        m_list->releaseFolder();
        m_memory.save(this, m_grid);
        event->accept();
    } else {
        event->ignore();
    }
}

void ProductListWindow::closeOnSignal()
{
    m_list->setClosingOnSignal();
    // A box or the save dialog goes first; the close follows once its handler has returned.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        QTimer::singleShot(0, this, &ProductListWindow::closeOnSignal);
        return;
    }
    if (!m_closing && isVisible())
        close();
}

void ProductListWindow::onAddClicked()
{
    gui::guarded(this, [this] {
        m_products.insert();
        m_panel->tariffBox()->setFocus();
    });
}

void ProductListWindow::moveCursor(void (*move)(Table &))
{
    gui::guarded(this, [this, move] {
        if (m_products.isActive())
            move(m_products);
    });
}

void ProductListWindow::onDeleteClicked()
{
    gui::guarded(this, [this] {
        const std::size_t before = m_products.recordCount();
        if (before > 0)
            m_products.remove();
        if (before == 1 && m_products.recordCount() == 0) {
            m_panel->button(Button::Delete)->setEnabled(false);
            m_list->carriedValues().clear();
            m_products.last();
            m_products.insert();
        }
        m_panel->tariffBox()->setFocus();
    });
}

void ProductListWindow::onExportClicked()
{
    gui::guarded(this, [this] {
        if (!m_products.isActive()) {
            gui::Dialogs::message(this, QStringLiteral("DataSet nije aktivan."),
                                  QStringLiteral("Greška!"));
        } else if (m_list->save()) {
            // Nothing changes the table while the dialog is open: the file shows it as saved.
            if (m_saveDialog.execute(this)) {
                m_list->exportTo(m_saveDialog.fileName());
                gui::Dialogs::message(
                    this, QStringLiteral("Baza eksportirana u ") + m_saveDialog.fileName(),
                    QStringLiteral("Poruka"));
            }
        }
        m_panel->button(Button::Add)->setFocus();
    });
}

void ProductListWindow::onEraseClicked()
{
    gui::guarded(this, [&] {
        if (gui::Dialogs::question(this, QStringLiteral("Praznim baze?"), gui::warningCaption()) &&
            gui::Dialogs::question(this,
                                   QStringLiteral("Jeste li SIGURNI?\nNakon ovog nema povratka!"),
                                   gui::warningCaption()) &&
            m_list->erase())
            gui::Dialogs::message(this, QStringLiteral("Baze prezne!"));
        m_panel->tariffBox()->setFocus();
    });
}

void ProductListWindow::onUndoClicked(bool forward)
{
    gui::guarded(this, [this, forward] {
        if (!m_products.isActive())
            return;
        m_dataSource->handOver();
        m_grid->closeOpenEditor();
        const std::optional<std::size_t> field = forward ? m_products.redo() : m_products.undo();
        // Taking back an import can leave no record, as a deletion of the last one does.
        m_panel->button(Button::Delete)->setEnabled(m_products.recordCount() > 0);
        if (field && m_products.rowCount() > 0)
            focusField(*field);
    });
}

void ProductListWindow::onWarningKey(bool forward)
{
    gui::guarded(this, [this, forward] {
        moveToWarning(m_products, m_list->checks(), forward);
        if (!m_products.isActive() || m_products.rowCount() == 0)
            return;
        const std::size_t row = m_products.currentRow();
        for (gui::FieldEdit *box : m_panel->boxes()) {
            if (m_list->checks().warning(row, box->field())) {
                focusField(box->field());
                return;
            }
        }
    });
}

void ProductListWindow::focusField(std::size_t field)
{
    m_movingFocus = true;
    if (isInside(QApplication::focusWidget(), m_grid))
        m_grid->showField(field);
    else if (gui::FieldEdit *box = m_panel->box(field))
        box->setFocus(Qt::OtherFocusReason);
    m_movingFocus = false;
}

void ProductListWindow::onPrintClicked(bool toPdf)
{
    gui::guarded(this, [&] {
        if (!m_products.isActive())
            return;
        endTypedRecord();
        if (toPdf)
            gui::saveListAsPdf(this, m_products, m_list->checks(), m_list->databasePath());
        else
            gui::printList(this, m_products, m_list->checks(), m_list->databasePath());
    });
}

void ProductListWindow::onTableChanged()
{
    m_panel->setRecordCount(m_products.recordCount(), m_list->checks().warnedRecordCount());
    // Disabled when the last record went; back as soon as there is one again.
    if (m_products.recordCount() > 0)
        m_panel->button(Button::Delete)->setEnabled(true);
    m_undoAction->setEnabled(m_products.canUndo());
    m_undoAction->setText(undoText(m_products.undoSummary(), false));
    m_redoAction->setEnabled(m_products.canRedo());
    m_redoAction->setText(undoText(m_products.redoSummary(), true));
}

void ProductListWindow::endTypedRecord()
{
    m_dataSource->handOver();
    if (m_products.isBegunRecordUntyped() ||
        (m_products.state() == TableState::Insert &&
         isEmptyRecord(m_products.rows()[m_products.currentRow()])))
        m_products.remove();
    m_products.endEdit();
}

void ProductListWindow::onGridPaste()
{
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    bool filled = false;
    // A fill refused is no import either.
    const bool done =
        gui::guarded(this, [&] { filled = m_products.isActive() && fillSelection(text); });
    if (done && !filled && textimport::isRowBlock(text))
        importList([&] { return textimport::readPasted(text); });
}

bool ProductListWindow::fillSelection(const std::string &text)
{
    if (text.find('\t') != std::string::npos)
        return false;
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(start, end - start);
        if (line.ends_with('\r'))
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    // A copied cell ends in a line break that is no part of its value.
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    if (lines.empty())
        return false;
    endTypedRecord();
    const std::optional<gui::RecordGrid::ColumnCells> cells = m_grid->selectedColumn();
    if (!cells || (lines.size() > 1 && lines.size() != cells->rows.size()))
        return false;
    if (lines.size() == 1)
        lines.resize(cells->rows.size(), lines.front());
    fillCells(cells->field, cells->rows, std::move(lines));
    return true;
}

void ProductListWindow::onGridFill()
{
    gui::guarded(this, [this] {
        if (!m_products.isActive())
            return;
        endTypedRecord();
        const std::optional<gui::RecordGrid::ColumnCells> cells = m_grid->selectedColumn();
        if (!cells || cells->rows.size() < 2)
            return;
        const std::vector<std::size_t> rows(cells->rows.begin() + 1, cells->rows.end());
        fillCells(cells->field, rows,
                  std::vector<std::string>(rows.size(),
                                           m_products.text(cells->rows.front(), cells->field)));
    });
}

void ProductListWindow::fillCells(std::size_t field, const std::vector<std::size_t> &rows,
                                  std::vector<std::string> texts)
{
    // As the box takes it: a tariff number too long only for its grouping, as its digits.
    const std::size_t limit = m_products.schema()[field].maxLength;
    for (std::string &text : texts) {
        if (field != TariffNumber || codePointCount(text) <= limit)
            continue;
        if (std::optional<std::string> digits = ungroupedTariffNumber(text);
            digits && digits->size() <= limit)
            text = std::move(*digits);
    }
    m_products.fill(field, rows, texts);
}

void ProductListWindow::onImportFileClicked()
{
    const QString file = gui::Dialogs::openFileName(this, QStringLiteral("Popis (*.csv *.txt)"));
    if (!file.isEmpty())
        importFile(file);
}

void ProductListWindow::importFile(const QString &fileName)
{
    importList([&] { return textimport::readFile(fileName.toStdString()); });
}

void ProductListWindow::importList(const std::function<textimport::Source()> &read)
{
    gui::guarded(this, [&] {
        if (!m_products.isActive())
            return;
        // A refusal comes before the mapping work.
        endTypedRecord();
        std::optional<std::vector<Record>> records = gui::ImportDialog::run(this, read());
        if (!records || records->empty())
            return;
        m_products.appendRecords(std::move(*records));
    });
}

namespace {

// The one local text file of a drop, or nothing.
QString droppedList(const QMimeData *mime)
{
    if (!mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().constFirst().isLocalFile())
        return {};
    const QString file = mime->urls().constFirst().toLocalFile();
    const QString suffix = QFileInfo(file).suffix().toLower();
    return suffix == u"csv" || suffix == u"txt" ? file : QString();
}

} // namespace

void ProductListWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedList(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void ProductListWindow::dropEvent(QDropEvent *event)
{
    const QString file = droppedList(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    // The program the file came from waits for the drop to end: the dialog opens after it.
    QTimer::singleShot(0, this, [this, file] { importFile(file); });
}

void ProductListWindow::onPriceBoxLeft()
{
    m_products.insert();
    m_panel->tariffBox()->setFocus();
}

void ProductListWindow::onGridLeft()
{
    if (m_products.state() == TableState::Edit)
        m_products.commit();
}

void ProductListWindow::onFocusChanged(QWidget *old, QWidget *now)
{
    // Only a move to another control of this window leaves a control; a box or another program
    // taking the focus does not.
    if (!old || !now || now->window() != this || old->window() != this)
        return;
    // The find bar is none of the record's controls: going there or back leaves no control.
    if (isInside(now, m_findBar))
        return;
    // Take-back, redo and F8 move the focus themselves: no control is left.
    if (m_movingFocus)
        return;
    if (old == m_panel->priceBox() && now != m_panel->priceBox() &&
        !m_panel->priceBox()->hasPendingInput()) {
        const Qt::FocusReason reason = m_panel->priceBox()->lastFocusOutReason();
        // Shift+Tab back is a correction within the record; a click on "Dodaj" begins the one
        // new record itself.
        const bool forward =
            reason != Qt::BacktabFocusReason &&
            !(now == m_panel->button(Button::Add) && reason == Qt::MouseFocusReason);
        if (forward)
            guardedLater(this, [this] { onPriceBoxLeft(); });
    }
    if (isInside(old, m_grid) && !isInside(now, m_grid))
        guardedLater(this, [this] { onGridLeft(); });
}

#include "app/ProductListWindow.h"

#include "app/Version.h"
#include "data/AtomicFile.h"
#include "data/ProductDatabase.h"
#include "data/ProductSchema.h"
#include "export/TextExport.h"
#include "import/TextImport.h"
#include "platform/DataSource.h"
#include "platform/Dialogs.h"
#include "platform/FieldEdit.h"
#include "platform/FindBar.h"
#include "platform/FolderLock.h"
#include "platform/Guard.h"
#include "platform/ImportDialog.h"
#include "platform/RecordGrid.h"
#include "platform/RecoveryCopy.h"
#include "platform/ScreenFit.h"
#include "platform/SignalCloser.h"
#include "platform/StartUpQuestions.h"
#include "platform/TableModel.h"
#include "platform/WarningLook.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <tuple>

using namespace data;

namespace {

const QString warningCaption = QStringLiteral("Pažnja!");
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

QString initialExportFile()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("trelavo.txt"));
}

QIcon picture(const char *name, bool withDisabledLook = false)
{
    const QString base = QStringLiteral(":/icons/png/") + QLatin1String(name);
    QIcon icon;
    icon.addFile(base + QStringLiteral(".png"), {}, QIcon::Normal);
    if (withDisabledLook)
        icon.addFile(base + QStringLiteral("-disabled.png"), {}, QIcon::Disabled);
    return icon;
}

bool isEmptyRecord(const Record &record)
{
    bool empty = true;
    record.forEachValue(
        [&](std::size_t, std::string_view value) { empty = empty && value.empty(); });
    return empty;
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
        platform::showExceptionLater(parent, e);
    }
}

} // namespace

ProductListWindow::ProductListWindow(QWidget *parent)
    : QWidget(parent)
    , m_products(productSchema())
    , m_saveDialog(QStringLiteral("Tekst (*.txt)"), QStringLiteral("txt"), initialExportFile())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kalvendor - suglasnost za uvoz medicinskih proizvoda"));
    QIcon flask;
    for (const char *size : {"16", "32", "48", "256"})
        flask.addFile(QStringLiteral(":/icons/png/flask-") + QLatin1String(size) +
                      QStringLiteral(".png"));
    setWindowIcon(flask);
    m_dataSource = new platform::DataSource(m_products, this);
    m_dataSource->setObjectName(QStringLiteral("DataSourceLijekovi"));
    m_dataSource->setChecks(&m_checks);
    buildControls();
    bindTable();
    connect(new platform::SignalCloser(this), &platform::SignalCloser::closeRequested, this,
            &ProductListWindow::closeOnSignal);

    m_databaseFile = QDir::current().absoluteFilePath(QStringLiteral("Baza.xml")).toStdString();
    m_lastSupplier.clear();
    m_lastImporter.clear();
    m_lastManufacturer.clear();
    m_lastCurrency.clear();
    m_lastUnit.clear();
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

void ProductListWindow::buildControls()
{
    using platform::GridColumn;
    const auto field = [](ProductField f) { return static_cast<std::size_t>(f); };
    const auto name = [](ProductField f) {
        return QString::fromStdString(productSchema()[f].name);
    };
    std::vector<GridColumn> columns{
        {field(Tar_br), name(Tar_br), 41},
        {field(Naziv), name(Naziv), 80},
        {field(Gen_ime), QStringLiteral("Kataloški broj"), 91},
        {field(ATK), name(ATK)},
        {field(Proizvodjac), name(Proizvodjac), 91},
        {field(Protokol), name(Protokol), 105},
        {field(Dobavljac), name(Dobavljac), 95},
        {field(Uvoznik), QStringLiteral("Korisnik"), 105},
        {field(Jed_mjere), name(Jed_mjere)},
        {field(Kolicina), name(Kolicina)},
        {field(Valuta), name(Valuta)},
        {field(Cijena), name(Cijena)},
    };
    m_gridModel = new platform::TableModel(*m_dataSource, std::move(columns), this);
    m_grid = new platform::RecordGrid(*m_gridModel, this);
    m_grid->setObjectName(QStringLiteral("DBGridLijekovi"));
    // What a screen reader says of the grid; the boxes are named by their captions.
    m_grid->setAccessibleName(QStringLiteral("Popis proizvoda"));
    m_grid->setAccessibleDescription(
        QStringLiteral("Svi upisani proizvodi, jedan po retku. Zapisi s upozorenjem označeni su, "
                       "a razlog upozorenja čita se u opisu ćelije."));
    m_findBar = new platform::FindBar(*m_dataSource, this);

    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("Panel1"));

    const auto label = [this](const char *objectName, const QString &caption) {
        auto *l = new QLabel(caption, m_panel);
        l->setObjectName(QLatin1String(objectName));
        return l;
    };
    const auto edit = [this](ProductField f, int width, QLabel *caption) {
        auto *e = new platform::FieldEdit(*m_dataSource, f, m_panel);
        e->setObjectName(QStringLiteral("DBEdit") +
                         QString::fromStdString(productSchema()[f].name));
        if (width > 0)
            e->setFixedWidth(width);
        caption->setBuddy(e);
        return e;
    };

    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(4);
    fields->setVerticalSpacing(3);
    int row = 0;
    const auto addRow = [&](QLabel *caption, QLayout *content) {
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        fields->addWidget(caption, row, 0);
        fields->addLayout(content, row, 1);
        ++row;
    };
    const auto line = [](std::initializer_list<QWidget *> widgets, bool stretch) {
        auto *box = new QHBoxLayout;
        box->setSpacing(6);
        for (QWidget *w : widgets)
            box->addWidget(w);
        if (stretch)
            box->addStretch(1);
        return box;
    };

    QLabel *tariffCaption = label("Label6", QStringLiteral("Tarifni broj : "));
    m_tariffBox = edit(Tar_br, 129, tariffCaption);
    QLabel *countCaption = label("Label13", QStringLiteral("Broj zapisa : "));
    m_recordCount = label("lblNumOfRecords", QStringLiteral("0"));
    m_warningCount = label("lblNumOfWarnings", QString());
    m_warningCount->setIndent(12);
    m_recoveryProblem = label("lblRecoveryProblem", QString());
    m_recoveryProblem->setIndent(12);
    m_recoveryProblem->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    auto *first =
        line({m_tariffBox, countCaption, m_recordCount, m_warningCount, m_recoveryProblem}, true);
    // Commands beyond the nine buttons; out of the tab order, so a click leaves the focus alone.
    auto *tools = new QToolButton(m_panel);
    tools->setObjectName(QStringLiteral("ToolsButton"));
    tools->setText(QStringLiteral("Alati"));
    tools->setPopupMode(QToolButton::InstantPopup);
    tools->setFocusPolicy(Qt::NoFocus);
    m_tools = new QMenu(tools);
    tools->setMenu(m_tools);
    first->addWidget(tools);
    addRow(tariffCaption, first);

    QLabel *nameCaption = label("Label2", QStringLiteral(" Naziv :"));
    addRow(nameCaption, line({edit(Naziv, 0, nameCaption)}, false));
    QLabel *catalogueCaption = label("Label11", QStringLiteral("Kataloški broj :"));
    addRow(catalogueCaption, line({edit(Gen_ime, 0, catalogueCaption)}, false));
    QLabel *atkCaption = label("Label12", QStringLiteral("ATK :"));
    platform::FieldEdit *atkBox = edit(ATK, 129, atkCaption);
    atkBox->setUpperCase(true);
    addRow(atkCaption, line({atkBox}, true));
    QLabel *manufacturerCaption = label("Label5", QStringLiteral("Proizvođač :"));
    addRow(manufacturerCaption, line({edit(Proizvodjac, 0, manufacturerCaption)}, false));
    QLabel *protocolCaption = label("Label10", QStringLiteral("Protokol :"));
    addRow(protocolCaption, line({edit(Protokol, 297, protocolCaption)}, true));
    QLabel *supplierCaption = label("Label1", QStringLiteral(" Dobavljač :"));
    addRow(supplierCaption, line({edit(Dobavljac, 0, supplierCaption)}, false));
    QLabel *importerCaption = label("Label4", QStringLiteral("  Korisnik : "));
    addRow(importerCaption, line({edit(Uvoznik, 0, importerCaption)}, false));

    QLabel *unitCaption = label("Label7", QStringLiteral(" Jedinica mjere :"));
    QLabel *quantityCaption = label("Label3", QStringLiteral("Količina :"));
    QLabel *currencyCaption = label("Label8", QStringLiteral("Valuta : "));
    QLabel *priceCaption = label("Label9", QStringLiteral("Cijena : "));
    platform::FieldEdit *unitBox = edit(Jed_mjere, 121, unitCaption);
    platform::FieldEdit *quantityBox = edit(Kolicina, 121, quantityCaption);
    platform::FieldEdit *currencyBox = edit(Valuta, 81, currencyCaption);
    m_priceBox = edit(Cijena, 137, priceCaption);
    quantityBox->setAlignment(Qt::AlignRight);
    m_priceBox->setAlignment(Qt::AlignRight);
    addRow(unitCaption, line({unitBox, quantityCaption, quantityBox, currencyCaption, currencyBox,
                              priceCaption, m_priceBox},
                             true));

    const auto button = [this](const char *objectName, const QString &caption, const QIcon &icon,
                               int width) {
        auto *b = new QPushButton(icon, caption, m_panel);
        b->setObjectName(QLatin1String(objectName));
        b->setAutoDefault(true); // Return on a focused button presses it
        b->setDefault(false);
        b->setMinimumWidth(width);
        return b;
    };
    m_addButton = button("BitBtnAdd", QStringLiteral("Dodaj"), picture("add"), 153);
    auto *firstButton = button("BitBtnFirst", QStringLiteral("Prvi"), picture("first"), 90);
    auto *priorButton = button("BitBtnPrev", QStringLiteral("Prethodni"), picture("prev"), 90);
    auto *nextButton = button("BitBtnNext", QStringLiteral("Sljedeći"), picture("next"), 90);
    auto *lastButton = button("BitBtnLast", QStringLiteral("Zadnji"), picture("last"), 90);
    m_deleteButton = button("BitBtnDel", QStringLiteral("Izbriši"), picture("delete"), 161);
    auto *exportButton =
        button("BitBtnExport", QStringLiteral("Export u tekst"), picture("export", true), 153);
    auto *eraseButton =
        button("BitBtnErase", QStringLiteral("Izbriši baze"), picture("erase", true), 153);
    auto *exitButton = button("BitBtnExit", QStringLiteral("Izlaz"), picture("exit", true), 153);

    auto *commands = new QHBoxLayout;
    commands->setSpacing(1);
    commands->addStretch(1);
    commands->addWidget(m_addButton);
    commands->addSpacing(6);
    for (QPushButton *b : {firstButton, priorButton, nextButton, lastButton})
        commands->addWidget(b);
    commands->addSpacing(5);
    commands->addWidget(m_deleteButton);
    commands->addStretch(1);

    auto *fileCommands = new QHBoxLayout;
    fileCommands->setSpacing(7);
    fileCommands->addStretch(1);
    for (QPushButton *b : {exportButton, eraseButton, exitButton})
        fileCommands->addWidget(b);
    fileCommands->addStretch(1);

    auto *panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(8, 10, 37, 8);
    panelLayout->setSpacing(6);
    panelLayout->addLayout(fields);
    panelLayout->addSpacing(4);
    panelLayout->addLayout(commands);
    panelLayout->addLayout(fileCommands);
    panelLayout->addStretch(1);
    // The panel keeps its height at the bottom; the grid takes what the window gains.
    m_panel->setFixedHeight(std::max(298, panelLayout->sizeHint().height()));

    auto *windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    windowLayout->setSpacing(0);
    windowLayout->addWidget(m_grid, 1);
    windowLayout->addWidget(m_findBar, 0);
    windowLayout->addWidget(m_panel, 0);

    // Tab order: the edit boxes in order, then the buttons; the panel before the grid.
    QWidget *previous = nullptr;
    for (QWidget *w : m_panel->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
    setTabOrder(previous, m_grid);

    connect(m_addButton, &QPushButton::clicked, this, &ProductListWindow::onAddClicked);
    connect(firstButton, &QPushButton::clicked, this, &ProductListWindow::onFirstClicked);
    connect(priorButton, &QPushButton::clicked, this, &ProductListWindow::onPriorClicked);
    connect(nextButton, &QPushButton::clicked, this, &ProductListWindow::onNextClicked);
    connect(lastButton, &QPushButton::clicked, this, &ProductListWindow::onLastClicked);
    connect(m_deleteButton, &QPushButton::clicked, this, &ProductListWindow::onDeleteClicked);
    connect(exportButton, &QPushButton::clicked, this, &ProductListWindow::onExportClicked);
    connect(eraseButton, &QPushButton::clicked, this, &ProductListWindow::onEraseClicked);
    connect(exitButton, &QPushButton::clicked, this, &ProductListWindow::onExitClicked);
    connect(qApp, &QApplication::focusChanged, this, &ProductListWindow::onFocusChanged);
    // F8 and Shift+F8: to the next or previous record with a warning, as a move; focus stays.
    for (const bool forward : {true, false}) {
        auto *key = new QShortcut(forward ? Qt::Key_F8 : Qt::SHIFT | Qt::Key_F8, this);
        connect(key, &QShortcut::activated, this, [this, forward] {
            platform::guarded(this, [&] { moveToWarning(m_products, m_checks, forward); });
        });
    }

    addTool(QStringLiteral("Pronađi…"), Qt::CTRL | Qt::Key_F, [this] { m_findBar->open(); });
    m_takeBackAction = addTool(QStringLiteral("Vrati obrisani zapis"), Qt::CTRL | Qt::Key_Z,
                               [this] { onTakeBackClicked(); });
    m_takeBackAction->setEnabled(false);
    addTool(QStringLiteral("Uvezi popis…"), {}, [this] { onImportFileClicked(); });
    connect(m_grid, &platform::RecordGrid::pasteRequested, this, &ProductListWindow::onGridPaste);
    setAcceptDrops(true);

    platform::placeOnScreen(this, windowPosition, windowSize);
}

QAction *ProductListWindow::addTool(const QString &text, const QKeySequence &shortcut,
                                    std::function<void()> handler)
{
    QAction *action = m_tools->addAction(text);
    action->setShortcut(shortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, std::move(handler));
    return action;
}

void ProductListWindow::bindTable()
{
    m_products.beforePost = [this] { captureCarriedOverValues(); };
    m_products.afterPost = [this] { enableDeleteButton(); };
    m_products.afterInsert = [this] { fillCarriedOverValues(); };
    connect(m_dataSource, &platform::DataSource::dataChange, this,
            &ProductListWindow::updateRecordCount);
    connect(m_dataSource, &platform::DataSource::dataChange, this,
            &ProductListWindow::onTakeBackChanged);
}

bool ProductListWindow::start()
{
    platform::Dialogs::message(nullptr, startUpText(), QString());
    if (m_closingOnSignal || !takeFolderLock())
        return false;
    platform::RecoveryCopy::removeLeftoverTemporaries(databasePath());
    const bool holdsLock = m_lock->isHeld();
    m_recovery = std::make_unique<platform::RecoveryCopy>(m_products, databasePath(), holdsLock);
    m_recovery->problemChanged = [this](const QString &problem) {
        m_recoveryProblem->setText(
            problem.isEmpty() ? QString() : QStringLiteral("Kopija rada nije spremljena"));
        m_recoveryProblem->setToolTip(
            problem.isEmpty()
                ? QString()
                : QStringLiteral("Kopija nespremljenog rada nije spremljena: ") + problem +
                      QStringLiteral("\nProgram je pokušava spremiti svake dvije "
                                     "sekunde. Bazu spremite izvozom ili izlazom."));
    };
    const bool restored = offerRecoveryCopies(!m_lock->isHeldByOther());
    if (m_closingOnSignal)
        return false;

    // Taken before reading: a change made while it is read counts as a change.
    m_databaseState = FileIdentity::of(m_databaseFile);
    platform::guarded(this, [&] {
        if (restored || loadExistingDatabase(m_products, m_databaseFile))
            return;
        try {
            writeEmptyDatabase(m_databaseFile);
        } catch (...) {
            // The clerk can type all the same: the recovery copy and the close question keep
            // the work.
            resetToEmptyDatabase(m_products);
            throw;
        }
        m_databaseState = FileIdentity::of(m_databaseFile);
        m_products.open();
    });
    if (!restored)
        m_recovery->markSaved();
    if (m_products.isActive() && m_products.recordCount() == 0)
        m_deleteButton->setEnabled(false);
    return !m_closingOnSignal;
}

bool ProductListWindow::takeFolderLock()
{
    m_lock = std::make_unique<platform::FolderLock>(databasePath());
    if (m_lock->take() != platform::FolderLock::Result::HeldByOther)
        return true;
    return platform::askToOpenLockedFolder(*m_lock, databasePath()) && !m_closingOnSignal;
}

bool ProductListWindow::offerRecoveryCopies(bool mayTakeFolderCopy)
{
    std::optional<platform::RecoveryCopy::LeftBehind> copy =
        platform::offerLeftBehindWork(databasePath(), mayTakeFolderCopy, m_products.schema(),
                                      [this] { return m_closingOnSignal; });
    if (!copy)
        return false;
    m_products.replaceContent(std::move(copy->records));
    m_products.last();
    m_recovery->takeOver(copy->path);
    return true;
}

void ProductListWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        // Now the window manager's frame is known, or about to be.
        QTimer::singleShot(0, this,
                           [this] { platform::placeOnScreen(this, windowPosition, windowSize); });
        onFirstShown();
    }
}

void ProductListWindow::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    const bool closes = saveOnClose();
    m_closing = false;
    if (closes)
        event->accept();
    else
        event->ignore();
}

bool ProductListWindow::saveOnClose()
{
    // Nothing was read, so nothing is written: the file stays as it was.
    if (!m_products.isActive())
        return true;
    try {
        purgeUnnamedRecords(m_products);
    } catch (const std::exception &e) {
        if (!m_closingOnSignal) {
            platform::showException(this, e);
            return false;
        }
        // No one is there to correct the entry: the committed work goes into the copy.
        m_recovery->writeNow();
        return true;
    }
    QString reason;
    try {
        if (writeDatabase([this] {
                m_products.mergeChangeLog();
                m_products.saveToFile(m_databaseFile);
            }))
            return true;
        reason = QStringLiteral("drugi ju je program u međuvremenu promijenio");
    } catch (const WriteError &e) {
        reason = QString::fromStdString(e.reason());
    } catch (const std::exception &e) {
        reason = platform::exceptionText(e);
    }
    // The work is safe in the recovery copy before anything is asked.
    const QString copyFailure = m_recovery->writeNow();
    if (m_closingOnSignal)
        return true;
    QString text = QStringLiteral("Baza „%1” nije spremljena: %2").arg(databasePath(), reason);
    if (!copyFailure.isEmpty())
        text += QStringLiteral("\nNi kopija nespremljenog rada nije spremljena: ") + copyFailure;
    // Dropping the changes silently would lose the clerk's work: ask. With no copy either, a
    // closing Enter would lose it for good, so "Ne" is the default.
    return platform::Dialogs::question(
               this, text + QStringLiteral("\n\nZatvoriti program bez spremanja?"), warningCaption,
               !copyFailure.isEmpty()) ||
           m_closingOnSignal;
}

bool ProductListWindow::writeDatabase(const std::function<void()> &write)
{
    if (m_databaseState.changedOnDisk(m_databaseFile)) {
        const bool replace =
            !m_closingOnSignal &&
            platform::Dialogs::question(
                this,
                QStringLiteral("Bazu „%1” je u međuvremenu promijenio drugi program.\n\n"
                               "Zamijeniti je podacima iz ovog prozora? Ako odgovorite "
                               "„Ne”, baza ostaje kakva jest, a vaš rad ostaje u prozoru "
                               "i u kopiji nespremljenog rada.")
                    .arg(databasePath()),
                warningCaption, true);
        if (!replace) {
            m_recovery->writeNow();
            return false;
        }
    }
    write();
    m_databaseState = FileIdentity::of(m_databaseFile);
    m_recovery->markSaved();
    return true;
}

void ProductListWindow::closeOnSignal()
{
    m_closingOnSignal = true;
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

void ProductListWindow::onFirstShown()
{
    m_addButton->setFocus();
}

void ProductListWindow::onAddClicked()
{
    platform::guarded(this, [this] {
        m_products.insert();
        m_tariffBox->setFocus();
    });
}

void ProductListWindow::onFirstClicked()
{
    moveCursor(&Table::first);
}

void ProductListWindow::onPriorClicked()
{
    moveCursor(&Table::prior);
}

void ProductListWindow::onNextClicked()
{
    moveCursor(&Table::next);
}

void ProductListWindow::onLastClicked()
{
    moveCursor(&Table::last);
}

void ProductListWindow::moveCursor(void (Table::*move)())
{
    platform::guarded(this, [&] {
        if (m_products.isActive())
            (m_products.*move)();
    });
}

void ProductListWindow::onDeleteClicked()
{
    platform::guarded(this, [this] {
        const std::size_t before = m_products.recordCount();
        if (before > 0)
            m_products.remove();
        if (before == 1 && m_products.recordCount() == 0) {
            m_deleteButton->setEnabled(false);
            clearCarriedOverValues();
            m_products.last();
            m_products.insert();
        }
        m_tariffBox->setFocus();
    });
}

void ProductListWindow::onExitClicked()
{
    close();
}

void ProductListWindow::onExportClicked()
{
    platform::guarded(this, [this] {
        if (!m_products.isActive()) {
            platform::Dialogs::message(this, QStringLiteral("DataSet nije aktivan."),
                                       QStringLiteral("Greška!"));
        } else if (writeDatabase([this] { saveDatabase(m_products, m_databaseFile); })) {
            // Built before the dialog opens: the file shows the table as it was saved.
            const std::string text = textexport::exportText(m_products);
            if (m_saveDialog.execute(this)) {
                writeFileAtomically(m_saveDialog.fileName().toStdString(), text);
                platform::Dialogs::message(
                    this, QStringLiteral("Baza eksportirana u ") + m_saveDialog.fileName(),
                    QStringLiteral("Poruka"));
            }
        }
        m_addButton->setFocus();
    });
}

void ProductListWindow::onEraseClicked()
{
    platform::guarded(this, [this] {
        if (platform::Dialogs::question(this, QStringLiteral("Praznim baze?"), warningCaption) &&
            platform::Dialogs::question(
                this, QStringLiteral("Jeste li SIGURNI?\nNakon ovog nema povratka!"),
                warningCaption)) {
            if (writeDatabase([this] {
                    writeEmptyDatabase(m_databaseFile);
                    m_products.loadFromFile(m_databaseFile);
                    m_products.last();
                }))
                platform::Dialogs::message(this, QStringLiteral("Baze prezne!"));
        }
        m_tariffBox->setFocus();
    });
}

void ProductListWindow::onTakeBackClicked()
{
    platform::guarded(this, [this] {
        endTypedRecord();
        m_products.takeBack();
        // Taking back an import can leave no record, as a deletion of the last one does.
        m_deleteButton->setEnabled(m_products.recordCount() > 0);
    });
}

void ProductListWindow::onTakeBackChanged()
{
    m_takeBackAction->setEnabled(m_products.canTakeBack());
    m_takeBackAction->setText(m_products.takeBackRemovesAppended()
                                  ? QStringLiteral("Poništi uvoz")
                                  : QStringLiteral("Vrati obrisani zapis"));
}

void ProductListWindow::endTypedRecord()
{
    m_dataSource->updateRecord();
    if (m_products.state() == TableState::Insert &&
        isEmptyRecord(m_products.rows()[m_products.currentRow()]))
        m_products.remove();
    m_products.checkBrowseMode();
}

void ProductListWindow::onGridPaste()
{
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    if (textimport::isRowBlock(text))
        importList([&] { return textimport::readPasted(text); });
}

void ProductListWindow::onImportFileClicked()
{
    const QString file =
        platform::Dialogs::openFileName(this, QStringLiteral("Popis (*.csv *.txt)"));
    if (!file.isEmpty())
        importFile(file);
}

void ProductListWindow::importFile(const QString &fileName)
{
    importList([&] { return textimport::readFile(fileName.toStdString()); });
}

void ProductListWindow::importList(const std::function<textimport::Source()> &read)
{
    platform::guarded(this, [&] {
        if (!m_products.isActive())
            return;
        // A refusal comes before the mapping work.
        endTypedRecord();
        std::optional<std::vector<Record>> records = platform::ImportDialog::run(this, read());
        if (!records || records->empty())
            return;
        m_products.appendRecords(std::move(*records));
        enableDeleteButton();
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
    m_tariffBox->setFocus();
}

void ProductListWindow::onGridLeft()
{
    if (m_products.state() == TableState::Edit)
        m_products.post();
}

void ProductListWindow::captureCarriedOverValues()
{
    m_lastSupplier = m_products.text(Dobavljac);
    m_lastImporter = m_products.text(Uvoznik);
    m_lastManufacturer = m_products.text(Proizvodjac);
    m_lastCurrency = m_products.text(Valuta);
    m_lastUnit = m_products.text(Jed_mjere);
}

void ProductListWindow::enableDeleteButton()
{
    if (m_products.recordCount() > 0)
        m_deleteButton->setEnabled(true);
}

void ProductListWindow::fillCarriedOverValues()
{
    m_products.setText(Dobavljac, m_lastSupplier);
    m_products.setText(Uvoznik, m_lastImporter);
    m_products.setText(Proizvodjac, m_lastManufacturer);
    m_products.setText(Valuta, m_lastCurrency);
    m_products.setText(Jed_mjere, m_lastUnit);
}

void ProductListWindow::updateRecordCount()
{
    m_recordCount->setText(QString::asprintf("%i", static_cast<int>(m_products.recordCount())));
    m_warningCount->setText(platform::warningCountText(m_checks.warnedRecordCount()));
}

void ProductListWindow::writeEmptyDatabase(const std::string &fileName)
{
    // The new record must start without carried-over values, but a failed write keeps them.
    const std::array carried{m_lastUnit, m_lastCurrency, m_lastManufacturer, m_lastImporter,
                             m_lastSupplier};
    clearCarriedOverValues();
    try {
        createEmptyDatabase(m_products, fileName);
    } catch (...) {
        std::tie(m_lastUnit, m_lastCurrency, m_lastManufacturer, m_lastImporter, m_lastSupplier) =
            std::tuple(carried[0], carried[1], carried[2], carried[3], carried[4]);
        throw;
    }
}

void ProductListWindow::clearCarriedOverValues()
{
    m_lastUnit.clear();
    m_lastCurrency.clear();
    m_lastManufacturer.clear();
    m_lastImporter.clear();
    m_lastSupplier.clear();
}

void ProductListWindow::onFocusChanged(QWidget *old, QWidget *now)
{
    // Only a move to another control of this window is an exit; a box or another program
    // taking the focus is not.
    if (!old || !now || now->window() != this || old->window() != this)
        return;
    // The find bar is no part of the form: going there or back is no exit.
    if (isInside(now, m_findBar))
        return;
    if (old == m_priceBox && now != m_priceBox && !m_priceBox->hasPendingInput()) {
        const Qt::FocusReason reason = m_priceBox->lastFocusOutReason();
        // Shift+Tab back is a correction within the record; a click on "Dodaj" begins the one
        // new record itself.
        const bool forward = reason != Qt::BacktabFocusReason &&
                             !(now == m_addButton && reason == Qt::MouseFocusReason);
        if (forward)
            guardedLater(this, [this] { onPriceBoxLeft(); });
    }
    if (isInside(old, m_grid) && !isInside(now, m_grid))
        guardedLater(this, [this] { onGridLeft(); });
}

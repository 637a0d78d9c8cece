#include "app/Unit1.h"

#include "data/AtomicFile.h"
#include "data/ProductDatabase.h"
#include "data/ProductSchema.h"
#include "export/TextExport.h"
#include "platform/DBEdit.h"
#include "platform/DBGrid.h"
#include "platform/DataSource.h"
#include "platform/Dialogs.h"
#include "platform/Guard.h"
#include "platform/TableModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <array>
#include <tuple>

using namespace data;

namespace {

const QString warningCaption = QStringLiteral("Pažnja!");

QString startUpText()
{
    return QStringLiteral("Kalvendor\n\n"
                          "Ulica ljekarnika 12,\n"
                          "10000 Zagreb, Hrvatska\n\n"
                          "Tel: +385 1 555 0123\n"
                          "Fax: +385 1 555 0124\n"
                          "E-mail: podrska@kalvendor.example\n\n"
                          "Web: www.kalvendor.example\n\n"
                          "v 2.1");
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

TForm1::TForm1(QWidget *parent)
    : QWidget(parent)
    , CDSetLijekovi(productSchema())
    , SaveDialog1(QStringLiteral("Tekst (*.txt)"), QStringLiteral("txt"), initialExportFile())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kalvendor - suglasnost za uvoz medicinskih proizvoda"));
    QIcon flask;
    for (const char *size : {"16", "32", "48", "256"})
        flask.addFile(QStringLiteral(":/icons/png/flask-") + QLatin1String(size) +
                      QStringLiteral(".png"));
    setWindowIcon(flask);
    DataSourceLijekovi = new platform::DataSource(CDSetLijekovi, this);
    DataSourceLijekovi->setObjectName(QStringLiteral("DataSourceLijekovi"));
    buildControls();
    bindTable();

    dbFileName = "Baza.xml";
    lastDobavljac.clear();
    lastUvoznik.clear();
    lastProizvodjac.clear();
    lastValuta.clear();
    lastJed_mjere.clear();
}

TForm1::~TForm1()
{
    disconnect(qApp, &QApplication::focusChanged, this, &TForm1::onFocusChanged);
    // The controls and the data source hold on to the table, which goes before QWidget's own
    // destructor would delete them: they go first, in order.
    delete DBGridLijekovi;
    delete Panel1;
    delete m_gridModel;
    delete DataSourceLijekovi;
}

void TForm1::buildControls()
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
    m_gridModel = new platform::TableModel(*DataSourceLijekovi, std::move(columns), this);
    DBGridLijekovi = new platform::DBGrid(*m_gridModel, this);
    DBGridLijekovi->setObjectName(QStringLiteral("DBGridLijekovi"));

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));

    const auto label = [this](const char *objectName, const QString &caption) {
        auto *l = new QLabel(caption, Panel1);
        l->setObjectName(QLatin1String(objectName));
        return l;
    };
    const auto edit = [this](ProductField f, int width, QLabel *caption) {
        auto *e = new platform::DBEdit(*DataSourceLijekovi, f, Panel1);
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

    QLabel *Label6 = label("Label6", QStringLiteral("Tarifni broj : "));
    DBEditTar_br = edit(Tar_br, 129, Label6);
    QLabel *Label13 = label("Label13", QStringLiteral("Broj zapisa : "));
    lblNumOfRecords = label("lblNumOfRecords", QStringLiteral("0"));
    auto *first = line({DBEditTar_br, Label13, lblNumOfRecords}, true);
    addRow(Label6, first);

    QLabel *Label2 = label("Label2", QStringLiteral(" Naziv :"));
    addRow(Label2, line({edit(Naziv, 0, Label2)}, false));
    QLabel *Label11 = label("Label11", QStringLiteral("Kataloški broj :"));
    addRow(Label11, line({edit(Gen_ime, 0, Label11)}, false));
    QLabel *Label12 = label("Label12", QStringLiteral("ATK :"));
    platform::DBEdit *DBEditATK = edit(ATK, 129, Label12);
    DBEditATK->setUpperCase(true);
    addRow(Label12, line({DBEditATK}, true));
    QLabel *Label5 = label("Label5", QStringLiteral("Proizvođač :"));
    addRow(Label5, line({edit(Proizvodjac, 0, Label5)}, false));
    QLabel *Label10 = label("Label10", QStringLiteral("Protokol :"));
    addRow(Label10, line({edit(Protokol, 297, Label10)}, true));
    QLabel *Label1 = label("Label1", QStringLiteral(" Dobavljač :"));
    addRow(Label1, line({edit(Dobavljac, 0, Label1)}, false));
    QLabel *Label4 = label("Label4", QStringLiteral("  Korisnik : "));
    addRow(Label4, line({edit(Uvoznik, 0, Label4)}, false));

    QLabel *Label7 = label("Label7", QStringLiteral(" Jedinica mjere :"));
    QLabel *Label3 = label("Label3", QStringLiteral("Količina :"));
    QLabel *Label8 = label("Label8", QStringLiteral("Valuta : "));
    QLabel *Label9 = label("Label9", QStringLiteral("Cijena : "));
    platform::DBEdit *DBEditJed_mjere = edit(Jed_mjere, 121, Label7);
    platform::DBEdit *DBEditKolicina = edit(Kolicina, 121, Label3);
    platform::DBEdit *DBEditValuta = edit(Valuta, 81, Label8);
    DBEditCijena = edit(Cijena, 137, Label9);
    DBEditKolicina->setAlignment(Qt::AlignRight);
    DBEditCijena->setAlignment(Qt::AlignRight);
    addRow(Label7, line({DBEditJed_mjere, Label3, DBEditKolicina, Label8, DBEditValuta, Label9,
                         DBEditCijena},
                        true));

    const auto button = [this](const char *objectName, const QString &caption, const QIcon &icon,
                               int width) {
        auto *b = new QPushButton(icon, caption, Panel1);
        b->setObjectName(QLatin1String(objectName));
        b->setAutoDefault(true); // Return on a focused button presses it
        b->setDefault(false);
        b->setMinimumWidth(width);
        return b;
    };
    BitBtnAdd = button("BitBtnAdd", QStringLiteral("Dodaj"), picture("add"), 153);
    auto *BitBtnFirst = button("BitBtnFirst", QStringLiteral("Prvi"), picture("first"), 90);
    auto *BitBtnPrev = button("BitBtnPrev", QStringLiteral("Prethodni"), picture("prev"), 90);
    auto *BitBtnNext = button("BitBtnNext", QStringLiteral("Sljedeći"), picture("next"), 90);
    auto *BitBtnLast = button("BitBtnLast", QStringLiteral("Zadnji"), picture("last"), 90);
    BitBtnDel = button("BitBtnDel", QStringLiteral("Izbriši"), picture("delete"), 161);
    auto *BitBtnExport =
        button("BitBtnExport", QStringLiteral("Export u tekst"), picture("export", true), 153);
    auto *BitBtnErase =
        button("BitBtnErase", QStringLiteral("Izbriši baze"), picture("erase", true), 153);
    auto *BitBtnExit = button("BitBtnExit", QStringLiteral("Izlaz"), picture("exit", true), 153);

    auto *commands = new QHBoxLayout;
    commands->setSpacing(1);
    commands->addStretch(1);
    commands->addWidget(BitBtnAdd);
    commands->addSpacing(6);
    for (QPushButton *b : {BitBtnFirst, BitBtnPrev, BitBtnNext, BitBtnLast})
        commands->addWidget(b);
    commands->addSpacing(5);
    commands->addWidget(BitBtnDel);
    commands->addStretch(1);

    auto *fileCommands = new QHBoxLayout;
    fileCommands->setSpacing(7);
    fileCommands->addStretch(1);
    for (QPushButton *b : {BitBtnExport, BitBtnErase, BitBtnExit})
        fileCommands->addWidget(b);
    fileCommands->addStretch(1);

    auto *panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(8, 10, 37, 8);
    panelLayout->setSpacing(6);
    panelLayout->addLayout(fields);
    panelLayout->addSpacing(4);
    panelLayout->addLayout(commands);
    panelLayout->addLayout(fileCommands);
    panelLayout->addStretch(1);
    // The panel keeps its height at the bottom; the grid takes what the window gains.
    Panel1->setFixedHeight(std::max(298, panelLayout->sizeHint().height()));

    auto *windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    windowLayout->setSpacing(0);
    windowLayout->addWidget(DBGridLijekovi, 1);
    windowLayout->addWidget(Panel1, 0);

    // Tab order: the edit boxes in order, then the buttons; the panel before the grid.
    QWidget *previous = nullptr;
    for (QWidget *w : Panel1->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
    setTabOrder(previous, DBGridLijekovi);

    connect(BitBtnAdd, &QPushButton::clicked, this, &TForm1::BitBtnAddClick);
    connect(BitBtnFirst, &QPushButton::clicked, this, &TForm1::BitBtnFirstClick);
    connect(BitBtnPrev, &QPushButton::clicked, this, &TForm1::BitBtnPrevClick);
    connect(BitBtnNext, &QPushButton::clicked, this, &TForm1::BitBtnNextClick);
    connect(BitBtnLast, &QPushButton::clicked, this, &TForm1::BitBtnLastClick);
    connect(BitBtnDel, &QPushButton::clicked, this, &TForm1::BitBtnDelClick);
    connect(BitBtnExport, &QPushButton::clicked, this, &TForm1::BitBtnExportClick);
    connect(BitBtnErase, &QPushButton::clicked, this, &TForm1::BitBtnEraseClick);
    connect(BitBtnExit, &QPushButton::clicked, this, &TForm1::BitBtnExitClick);
    connect(qApp, &QApplication::focusChanged, this, &TForm1::onFocusChanged);

    resize(782, 545);
    move(197, 109);
}

void TForm1::bindTable()
{
    CDSetLijekovi.beforePost = [this] { CDSetLijekoviBeforePost(); };
    CDSetLijekovi.afterPost = [this] { CDSetLijekoviAfterPost(); };
    CDSetLijekovi.afterInsert = [this] { CDSetLijekoviAfterInsert(); };
    connect(DataSourceLijekovi, &platform::DataSource::dataChange, this,
            &TForm1::DataSourceLijekoviDataChange);
}

void TForm1::FormCreate()
{
    platform::Dialogs::message(nullptr, startUpText(), QString());
    platform::guarded(this, [this] {
        if (!loadExistingDatabase(CDSetLijekovi, dbFileName)) {
            CreateEmptyDatabase(dbFileName);
            CDSetLijekovi.open();
        }
        if (CDSetLijekovi.recordCount() == 0)
            BitBtnDel->setEnabled(false);
    });
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        FormActivate();
    }
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

bool TForm1::FormClose()
{
    // Nothing was read, so nothing is written: the file stays as it was.
    if (!CDSetLijekovi.isActive())
        return true;
    if (!platform::guarded(this, [this] { PurgeUnnamedRecords(); }))
        return false;
    QString reason;
    try {
        CDSetLijekovi.mergeChangeLog();
        CDSetLijekovi.saveToFile(dbFileName);
        return true;
    } catch (const WriteError &e) {
        reason = QString::fromStdString(e.reason());
    } catch (const std::exception &e) {
        reason = platform::exceptionText(e);
    }
    // Dropping the changes silently would lose the clerk's work: ask.
    return platform::Dialogs::question(this,
                                       QStringLiteral("Baza nije spremljena: ") + reason +
                                           QStringLiteral("\n\nZatvoriti program bez spremanja?"),
                                       warningCaption);
}

void TForm1::FormActivate()
{
    BitBtnAdd->setFocus();
}

void TForm1::BitBtnAddClick()
{
    platform::guarded(this, [this] {
        CDSetLijekovi.insert();
        DBEditTar_br->setFocus();
    });
}

void TForm1::BitBtnFirstClick()
{
    moveCursor(&Table::first);
}

void TForm1::BitBtnPrevClick()
{
    moveCursor(&Table::prior);
}

void TForm1::BitBtnNextClick()
{
    moveCursor(&Table::next);
}

void TForm1::BitBtnLastClick()
{
    moveCursor(&Table::last);
}

void TForm1::moveCursor(void (Table::*move)())
{
    platform::guarded(this, [&] {
        if (CDSetLijekovi.isActive())
            (CDSetLijekovi.*move)();
    });
}

void TForm1::BitBtnDelClick()
{
    platform::guarded(this, [this] {
        const std::size_t before = CDSetLijekovi.recordCount();
        if (before > 0)
            CDSetLijekovi.remove();
        if (before == 1 && CDSetLijekovi.recordCount() == 0) {
            BitBtnDel->setEnabled(false);
            clearCarriedOverValues();
            CDSetLijekovi.last();
            CDSetLijekovi.insert();
        }
        DBEditTar_br->setFocus();
    });
}

void TForm1::BitBtnExitClick()
{
    close();
}

void TForm1::BitBtnExportClick()
{
    platform::guarded(this, [this] {
        if (!CDSetLijekovi.isActive()) {
            platform::Dialogs::message(this, QStringLiteral("DataSet nije aktivan."),
                                       QStringLiteral("Greška!"));
        } else {
            SaveDatabase();
            // Built before the dialog opens: the file shows the table as it was saved.
            const std::string text = textexport::exportText(CDSetLijekovi);
            if (SaveDialog1.execute(this)) {
                writeFileAtomically(SaveDialog1.fileName().toStdString(), text);
                platform::Dialogs::message(
                    this, QStringLiteral("Baza eksportirana u ") + SaveDialog1.fileName(),
                    QStringLiteral("Poruka"));
            }
        }
        BitBtnAdd->setFocus();
    });
}

void TForm1::BitBtnEraseClick()
{
    platform::guarded(this, [this] {
        if (platform::Dialogs::question(this, QStringLiteral("Praznim baze?"), warningCaption) &&
            platform::Dialogs::question(
                this, QStringLiteral("Jeste li SIGURNI?\nNakon ovog nema povratka!"),
                warningCaption)) {
            CreateEmptyDatabase(dbFileName);
            CDSetLijekovi.loadFromFile(dbFileName);
            CDSetLijekovi.last();
            platform::Dialogs::message(this, QStringLiteral("Baze prezne!"));
        }
        DBEditTar_br->setFocus();
    });
}

void TForm1::DBEditCijenaExit()
{
    CDSetLijekovi.insert();
    DBEditTar_br->setFocus();
}

void TForm1::DBGridLijekoviExit()
{
    if (CDSetLijekovi.state() == TableState::Edit)
        CDSetLijekovi.post();
}

void TForm1::CDSetLijekoviBeforePost()
{
    lastDobavljac = CDSetLijekovi.text(Dobavljac);
    lastUvoznik = CDSetLijekovi.text(Uvoznik);
    lastProizvodjac = CDSetLijekovi.text(Proizvodjac);
    lastValuta = CDSetLijekovi.text(Valuta);
    lastJed_mjere = CDSetLijekovi.text(Jed_mjere);
}

void TForm1::CDSetLijekoviAfterPost()
{
    if (CDSetLijekovi.recordCount() > 0)
        BitBtnDel->setEnabled(true);
}

void TForm1::CDSetLijekoviAfterInsert()
{
    CDSetLijekovi.setText(Dobavljac, lastDobavljac);
    CDSetLijekovi.setText(Uvoznik, lastUvoznik);
    CDSetLijekovi.setText(Proizvodjac, lastProizvodjac);
    CDSetLijekovi.setText(Valuta, lastValuta);
    CDSetLijekovi.setText(Jed_mjere, lastJed_mjere);
}

void TForm1::DataSourceLijekoviDataChange()
{
    lblNumOfRecords->setText(
        QString::asprintf("%i", static_cast<int>(CDSetLijekovi.recordCount())));
}

void TForm1::CreateEmptyDatabase(const std::string &fileName)
{
    // The new record must start without carried-over values, but a failed write keeps them.
    const std::array carried{lastJed_mjere, lastValuta, lastProizvodjac, lastUvoznik,
                             lastDobavljac};
    clearCarriedOverValues();
    try {
        createEmptyDatabase(CDSetLijekovi, fileName);
    } catch (...) {
        std::tie(lastJed_mjere, lastValuta, lastProizvodjac, lastUvoznik, lastDobavljac) =
            std::tuple(carried[0], carried[1], carried[2], carried[3], carried[4]);
        throw;
    }
}

void TForm1::PurgeUnnamedRecords()
{
    purgeUnnamedRecords(CDSetLijekovi);
}

void TForm1::SaveDatabase()
{
    saveDatabase(CDSetLijekovi, dbFileName);
}

void TForm1::clearCarriedOverValues()
{
    lastJed_mjere.clear();
    lastValuta.clear();
    lastProizvodjac.clear();
    lastUvoznik.clear();
    lastDobavljac.clear();
}

void TForm1::onFocusChanged(QWidget *old, QWidget *now)
{
    // Only a move to another control of this window is an exit; a box or another program
    // taking the focus is not.
    if (!old || !now || now->window() != this || old->window() != this)
        return;
    if (old == DBEditCijena && now != DBEditCijena && !DBEditCijena->hasPendingInput()) {
        const Qt::FocusReason reason = DBEditCijena->lastFocusOutReason();
        // Shift+Tab back is a correction within the record; a click on "Dodaj" begins the one
        // new record itself.
        const bool forward = reason != Qt::BacktabFocusReason &&
                             !(now == BitBtnAdd && reason == Qt::MouseFocusReason);
        if (forward)
            guardedLater(this, [this] { DBEditCijenaExit(); });
    }
    if (isInside(old, DBGridLijekovi) && !isInside(now, DBGridLijekovi))
        guardedLater(this, [this] { DBGridLijekoviExit(); });
}

#include "gui/widgets/EntryPanel.h"

#include "gui/binding/DataSource.h"
#include "gui/widgets/ElidedLabel.h"
#include "gui/widgets/FieldEdit.h"
#include "gui/widgets/WarningLook.h"
#include "model/ProductSchema.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <initializer_list>

using namespace data;

namespace {

QIcon picture(const char *name, bool withDisabledLook = false)
{
    const QString base = QStringLiteral(":/icons/png/") + QLatin1String(name);
    QIcon icon;
    icon.addFile(base + QStringLiteral(".png"), {}, QIcon::Normal);
    if (withDisabledLook)
        icon.addFile(base + QStringLiteral("-disabled.png"), {}, QIcon::Disabled);
    return icon;
}

QHBoxLayout *line(std::initializer_list<QWidget *> widgets, bool stretch)
{
    auto *box = new QHBoxLayout;
    box->setSpacing(6);
    for (QWidget *w : widgets)
        box->addWidget(w);
    if (stretch)
        box->addStretch(1);
    return box;
}

} // namespace

namespace gui {

EntryPanel::EntryPanel(DataSource &dataSource, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("entryPanel"));
    auto *panelLayout = new QVBoxLayout(this);
    panelLayout->setContentsMargins(8, 10, 37, 8);
    panelLayout->setSpacing(6);
    panelLayout->addLayout(buildFields(dataSource));
    panelLayout->addSpacing(4);
    panelLayout->addLayout(buildButtons());
    panelLayout->addStretch(1);
    // The panel keeps its height at the bottom; the grid takes what the window gains.
    setFixedHeight(std::max(298, panelLayout->sizeHint().height()));
    setTabOrder();
    connect(qApp, &QApplication::focusChanged, this, &EntryPanel::showFocusedWarning);
    connect(&dataSource, &DataSource::changed, this, &EntryPanel::showFocusedWarning);
}

EntryPanel::~EntryPanel()
{
    // The focus moves while QWidget's destructor takes the boxes away: no longer to this panel.
    disconnect(qApp, &QApplication::focusChanged, this, &EntryPanel::showFocusedWarning);
}

QLabel *EntryPanel::label(const QString &objectName, const QString &caption)
{
    auto *l = new QLabel(caption, this);
    l->setObjectName(objectName);
    return l;
}

QHBoxLayout *EntryPanel::buildTariffLine()
{
    QLabel *countCaption =
        label(QStringLiteral("recordCountCaption"), QStringLiteral("Broj zapisa : "));
    m_recordCount = label(QStringLiteral("recordCount"), QStringLiteral("0"));
    m_warningCount = label(QStringLiteral("warningCount"), QString());
    m_warningCount->setIndent(12);
    m_recoveryProblem = label(QStringLiteral("recoveryProblem"), QString());
    m_recoveryProblem->setIndent(12);
    m_recoveryProblem->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    // A long reason takes the room there is, not more: the window never widens for it. Cut, it
    // ends in "…"; the tooltip and the box's accessible description hold it whole.
    m_warningReason = new ElidedLabel(this);
    m_warningReason->setObjectName(QStringLiteral("warningReason"));
    m_warningReason->setIndent(12);
    m_warningReason->setStyleSheet(QStringLiteral("color: #8a5a00"));
    auto *first = line({m_tariffBox, countCaption, m_recordCount, m_warningCount, m_recoveryProblem,
                        m_warningReason},
                       false);
    first->setStretchFactor(m_warningReason, 1);
    // Commands beyond the nine buttons; out of the tab order, so a click leaves the focus alone.
    auto *tools = new QToolButton(this);
    tools->setObjectName(QStringLiteral("toolsButton"));
    tools->setText(QStringLiteral("Alati"));
    tools->setPopupMode(QToolButton::InstantPopup);
    tools->setFocusPolicy(Qt::NoFocus);
    m_tools = new QMenu(tools);
    tools->setMenu(m_tools);
    first->addWidget(tools);
    return first;
}

QLayout *EntryPanel::buildFields(DataSource &dataSource)
{
    // A field's caption, spaced as the panel has always spaced it: `spacing` holds it as %1.
    const auto fieldLabel = [&](ProductField f, const QString &spacing) {
        const FieldDef &def = productSchema()[f];
        return label(QStringLiteral("caption") + QString::fromStdString(def.name),
                     spacing.arg(QString::fromStdString(def.caption)));
    };
    const auto edit = [&](ProductField f, int width, QLabel *caption) {
        auto *e = new FieldEdit(dataSource, f, this);
        e->setObjectName(QStringLiteral("edit") + QString::fromStdString(productSchema()[f].name));
        if (width > 0)
            e->setFixedWidth(width);
        caption->setBuddy(e);
        m_boxes.push_back(e);
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

    QLabel *tariffCaption = fieldLabel(TariffNumber, QStringLiteral("%1 : "));
    m_tariffBox = edit(TariffNumber, 129, tariffCaption);
    addRow(tariffCaption, buildTariffLine());

    QLabel *nameCaption = fieldLabel(Name, QStringLiteral(" %1 :"));
    addRow(nameCaption, line({edit(Name, 0, nameCaption)}, false));
    QLabel *catalogueCaption = fieldLabel(CatalogueNumber, QStringLiteral("%1 :"));
    addRow(catalogueCaption, line({edit(CatalogueNumber, 0, catalogueCaption)}, false));
    QLabel *atkCaption = fieldLabel(ClassificationCode, QStringLiteral("%1 :"));
    FieldEdit *atkBox = edit(ClassificationCode, 129, atkCaption);
    atkBox->setUpperCase(true);
    addRow(atkCaption, line({atkBox}, true));
    QLabel *manufacturerCaption = fieldLabel(Manufacturer, QStringLiteral("%1 :"));
    addRow(manufacturerCaption, line({edit(Manufacturer, 0, manufacturerCaption)}, false));
    QLabel *protocolCaption = fieldLabel(Protocol, QStringLiteral("%1 :"));
    addRow(protocolCaption, line({edit(Protocol, 297, protocolCaption)}, true));
    QLabel *supplierCaption = fieldLabel(Supplier, QStringLiteral(" %1 :"));
    addRow(supplierCaption, line({edit(Supplier, 0, supplierCaption)}, false));
    QLabel *importerCaption = fieldLabel(Importer, QStringLiteral("  %1 : "));
    addRow(importerCaption, line({edit(Importer, 0, importerCaption)}, false));

    QLabel *unitCaption = fieldLabel(Unit, QStringLiteral(" %1 :"));
    QLabel *quantityCaption = fieldLabel(Quantity, QStringLiteral("%1 :"));
    QLabel *currencyCaption = fieldLabel(Currency, QStringLiteral("%1 : "));
    QLabel *priceCaption = fieldLabel(Price, QStringLiteral("%1 : "));
    FieldEdit *unitBox = edit(Unit, 121, unitCaption);
    FieldEdit *quantityBox = edit(Quantity, 121, quantityCaption);
    FieldEdit *currencyBox = edit(Currency, 81, currencyCaption);
    m_priceBox = edit(Price, 137, priceCaption);
    quantityBox->setAlignment(Qt::AlignRight);
    m_priceBox->setAlignment(Qt::AlignRight);
    addRow(unitCaption, line({unitBox, quantityCaption, quantityBox, currencyCaption, currencyBox,
                              priceCaption, m_priceBox},
                             true));
    return fields;
}

QLayout *EntryPanel::buildButtons()
{
    struct Look {
        const char *objectName;
        QString caption;
        const char *picture;
        bool disabledLook;
        int width;
    };
    const Look looks[] = {
        {"addButton", QStringLiteral("Dodaj"), "add", false, 153},
        {"firstButton", QStringLiteral("Prvi"), "first", false, 90},
        {"priorButton", QStringLiteral("Prethodni"), "prev", false, 90},
        {"nextButton", QStringLiteral("Sljedeći"), "next", false, 90},
        {"lastButton", QStringLiteral("Zadnji"), "last", false, 90},
        {"deleteButton", QStringLiteral("Izbriši"), "delete", false, 161},
        {"exportButton", QStringLiteral("Export u tekst"), "export", true, 153},
        {"eraseButton", QStringLiteral("Izbriši baze"), "erase", true, 153},
        {"exitButton", QStringLiteral("Izlaz"), "exit", true, 153},
    };
    for (std::size_t i = 0; i < std::size(looks); ++i) {
        const Look &look = looks[i];
        auto *b = new QPushButton(picture(look.picture, look.disabledLook), look.caption, this);
        b->setObjectName(QLatin1String(look.objectName));
        b->setAutoDefault(true); // Return on a focused button presses it
        b->setDefault(false);
        b->setMinimumWidth(look.width);
        m_buttons[i] = b;
    }

    auto *commands = new QHBoxLayout;
    commands->setSpacing(1);
    commands->addStretch(1);
    commands->addWidget(button(Button::Add));
    commands->addSpacing(6);
    for (Button b : {Button::First, Button::Prior, Button::Next, Button::Last})
        commands->addWidget(button(b));
    commands->addSpacing(5);
    commands->addWidget(button(Button::Delete));
    commands->addStretch(1);

    auto *fileCommands = new QHBoxLayout;
    fileCommands->setSpacing(7);
    fileCommands->addStretch(1);
    for (Button b : {Button::Export, Button::Erase, Button::Exit})
        fileCommands->addWidget(button(b));
    fileCommands->addStretch(1);

    auto *both = new QVBoxLayout;
    both->setSpacing(6);
    both->addLayout(commands);
    both->addLayout(fileCommands);
    return both;
}

void EntryPanel::setTabOrder()
{
    // The edit boxes in order, then the buttons.
    QWidget *previous = nullptr;
    for (QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

FieldEdit *EntryPanel::box(std::size_t field) const
{
    for (FieldEdit *e : m_boxes) {
        if (e->field() == field)
            return e;
    }
    return nullptr;
}

void EntryPanel::showFocusedWarning()
{
    const auto *focused = qobject_cast<const FieldEdit *>(QApplication::focusWidget());
    const char *reason =
        focused && focused->parentWidget() == this ? focused->shownWarning() : nullptr;
    m_warningReason->setText(reason ? QStringLiteral("Upozorenje: ") + QString::fromUtf8(reason)
                                    : QString());
    m_warningReason->setToolTip(m_warningReason->text());
}

QPushButton *EntryPanel::button(Button which) const
{
    return m_buttons[static_cast<std::size_t>(which)];
}

void EntryPanel::setRecordCount(std::size_t records, std::size_t warned)
{
    m_recordCount->setText(QString::asprintf("%i", static_cast<int>(records)));
    m_warningCount->setText(warningCountText(warned));
}

void EntryPanel::setRecoveryProblem(const QString &problem)
{
    m_recoveryProblem->setText(problem.isEmpty() ? QString()
                                                 : QStringLiteral("Kopija rada nije spremljena"));
    m_recoveryProblem->setToolTip(
        problem.isEmpty()
            ? QString()
            : QStringLiteral("Kopija nespremljenog rada nije spremljena: ") + problem +
                  QStringLiteral("\nProgram je pokušava spremiti svake dvije "
                                 "sekunde. Bazu spremite izvozom ili izlazom."));
}

} // namespace gui

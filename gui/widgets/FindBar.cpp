#include "gui/widgets/FindBar.h"

#include "gui/binding/DataSource.h"
#include "gui/dialogs/ExceptionBox.h"
#include "model/Find.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace gui {

FindBar::FindBar(DataSource &source, QWidget *parent)
    : QWidget(parent)
    , m_source(source)
    , m_text(new QLineEdit(this))
    , m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("findBar"));
    m_text->setObjectName(QStringLiteral("findText"));
    m_status->setObjectName(QStringLiteral("findStatus"));
    m_text->setClearButtonEnabled(true);
    m_text->setMinimumWidth(260);
    m_text->installEventFilter(this);
    auto *caption = new QLabel(QStringLiteral("Pronađi:"), this);
    caption->setBuddy(m_text);
    auto *closeButton = new QToolButton(this);
    closeButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeButton->setAutoRaise(true);
    closeButton->setFocusPolicy(Qt::NoFocus);
    closeButton->setToolTip(QStringLiteral("Zatvori (Esc)"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 3, 8, 3);
    layout->addWidget(caption);
    layout->addWidget(m_text);
    layout->addWidget(m_status);
    layout->addStretch(1);
    layout->addWidget(closeButton);

    connect(m_text, &QLineEdit::textEdited, this, [this] { find(0); });
    connect(closeButton, &QToolButton::clicked, this, &FindBar::dismiss);
    hide();
}

void FindBar::open()
{
    QWidget *focus = QApplication::focusWidget();
    if (focus && !isAncestorOf(focus))
        m_returnFocus = focus;
    show();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

void FindBar::dismiss()
{
    // The focus goes back before the bar hides, or Qt would pass it on to the next control.
    if (m_returnFocus && m_returnFocus->isVisible())
        m_returnFocus->setFocus(Qt::OtherFocusReason);
    hide();
    m_status->clear();
}

void FindBar::clear()
{
    hide();
    m_text->clear();
    m_status->clear();
    m_returnFocus = nullptr;
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_text || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool back = key->modifiers().testFlag(Qt::ShiftModifier);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F3:
        find(back ? -1 : 1);
        return true;
    case Qt::Key_Escape:
        dismiss();
        return true;
    default:
        return false;
    }
}

void FindBar::find(int step)
{
    data::Table &table = m_source.table();
    const data::FindText text(m_text->text().toStdString());
    if (text.isEmpty() || !table.isActive() || table.rowCount() == 0) {
        m_status->clear();
        return;
    }
    const std::size_t current = table.currentRow();
    const std::size_t start = step > 0   ? current + 1
                              : step < 0 ? current + table.rowCount() - 1
                                         : current;
    const std::optional<std::size_t> found = data::findRecord(table, text, start, step >= 0);
    m_status->setText(found ? QString() : QStringLiteral("Nije pronađeno"));
    if (found && *found != current)
        guarded(this, [&] { table.moveTo(*found); });
}

} // namespace gui

#include "gui/dialogs/SaveDialog.h"

#include "gui/dialogs/Dialogs.h"

namespace gui {

SaveDialog::SaveDialog(QString filter, QString defaultSuffix, QString fileName)
    : m_filter(std::move(filter))
    , m_defaultSuffix(std::move(defaultSuffix))
    , m_fileName(std::move(fileName))
{
}

bool SaveDialog::execute(QWidget *parent)
{
    const QString chosen = Dialogs::saveFileName(parent, m_fileName, m_filter, m_defaultSuffix);
    if (chosen.isEmpty())
        return false;
    m_fileName = chosen;
    return true;
}

} // namespace gui

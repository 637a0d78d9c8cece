#pragma once

#include <QString>

class QWidget;

namespace gui {

// A save dialog that remembers the file last confirmed and offers it again next time.
class SaveDialog {
public:
    SaveDialog(QString filter, QString defaultSuffix, QString fileName);

    // Shows the dialog; true when the user confirmed a file, which fileName() then holds as a
    // full path.
    bool execute(QWidget *parent);
    const QString &fileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }

private:
    QString m_filter;
    QString m_defaultSuffix;
    QString m_fileName;
};

} // namespace gui

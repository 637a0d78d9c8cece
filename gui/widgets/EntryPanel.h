#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QMenu;
class QPushButton;

namespace gui {

class DataSource;
class FieldEdit;

// The face below the grid: a captioned edit box per field, the record count with the warning
// and recovery notes, the "Alati" menu and the nine buttons, in the tab order the clerk types.
class EntryPanel : public QWidget {
    Q_OBJECT

public:
    EntryPanel(DataSource &dataSource, QWidget *parent);

    enum class Button { Add, First, Prior, Next, Last, Delete, Export, Erase, Exit };
    QPushButton *button(Button which) const;
    FieldEdit *tariffBox() const { return m_tariffBox; }
    FieldEdit *priceBox() const { return m_priceBox; }
    QMenu *toolsMenu() const { return m_tools; }

    void setRecordCount(std::size_t records, std::size_t warned);
    // Empty when the recovery copy was written; otherwise why not.
    void setRecoveryProblem(const QString &problem);

private:
    QLabel *label(const char *objectName, const QString &caption);
    // The tariff box with the record counts and the "Alati" menu beside it.
    QHBoxLayout *buildTariffLine();
    QLayout *buildFields(DataSource &dataSource);
    QLayout *buildButtons();
    void setTabOrder();

    FieldEdit *m_tariffBox = nullptr;
    FieldEdit *m_priceBox = nullptr;
    QLabel *m_recordCount = nullptr;
    QLabel *m_warningCount = nullptr;
    QLabel *m_recoveryProblem = nullptr;
    QMenu *m_tools = nullptr;
    QPushButton *m_buttons[9] = {};
};

} // namespace gui

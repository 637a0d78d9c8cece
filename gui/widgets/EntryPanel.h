#pragma once

#include <QWidget>

#include <cstddef>
#include <vector>

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
    ~EntryPanel() override;

    enum class Button { Add, First, Prior, Next, Last, Delete, Export, Erase, Exit };
    QPushButton *button(Button which) const;
    FieldEdit *tariffBox() const { return m_tariffBox; }
    FieldEdit *priceBox() const { return m_priceBox; }
    // The box of `field`; the boxes in the order the clerk types them.
    FieldEdit *box(std::size_t field) const;
    const std::vector<FieldEdit *> &boxes() const { return m_boxes; }
    QMenu *toolsMenu() const { return m_tools; }

    void setRecordCount(std::size_t records, std::size_t warned);
    // Empty when the recovery copy was written; otherwise why not.
    void setRecoveryProblem(const QString &problem);

private:
    QLabel *label(const QString &objectName, const QString &caption);
    // The tariff box with the record counts and the "Alati" menu beside it.
    QHBoxLayout *buildTariffLine();
    QLayout *buildFields(DataSource &dataSource);
    QLayout *buildButtons();
    void setTabOrder();
    // The warning of the box the clerk is in, as text a keyboard and a screen reader reach.
    void showFocusedWarning();

    FieldEdit *m_tariffBox = nullptr;
    FieldEdit *m_priceBox = nullptr;
    QLabel *m_recordCount = nullptr;
    QLabel *m_warningCount = nullptr;
    QLabel *m_recoveryProblem = nullptr;
    QLabel *m_warningReason = nullptr;
    std::vector<FieldEdit *> m_boxes;
    QMenu *m_tools = nullptr;
    QPushButton *m_buttons[9] = {};
};

} // namespace gui

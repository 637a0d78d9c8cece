#pragma once

#include "data/Checks.h"
#include "data/Table.h"
#include "platform/SaveDialog.h"

#include <QWidget>

#include <string>

class QLabel;
class QPushButton;

namespace platform {
class DataSource;
class FieldEdit;
class RecordGrid;
class TableModel;
} // namespace platform

// The program's one window: the grid of all records above, an edit box per field below, and
// the record commands. The table is the one source of truth; the window reacts to it.
class ProductListWindow : public QWidget {
    Q_OBJECT

public:
    explicit ProductListWindow(QWidget *parent = nullptr);
    ~ProductListWindow() override;

    // Start-up: the message, then the database loaded or created.
    void start();

    const data::Table &table() const { return m_products; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void bindTable();

    // Returns false when the window must stay open.
    bool saveOnClose();
    void onFirstShown();
    void onAddClicked();
    void onFirstClicked();
    void onPriorClicked();
    void onNextClicked();
    void onLastClicked();
    // The navigation buttons: a move on an open table, nothing on a closed one.
    void moveCursor(void (data::Table::*move)());
    void onDeleteClicked();
    void onExitClicked();
    void onExportClicked();
    void onEraseClicked();
    void onPriceBoxLeft();
    void onGridLeft();
    void captureCarriedOverValues();
    void enableDeleteButton();
    void fillCarriedOverValues();
    void updateRecordCount();

    void writeEmptyDatabase(const std::string &fileName);
    void clearCarriedOverValues();

    void onFocusChanged(QWidget *old, QWidget *now);

    data::Table m_products;
    data::Checks m_checks{m_products}; // before the data source: views read it as they are told
    platform::DataSource *m_dataSource = nullptr;
    platform::TableModel *m_gridModel = nullptr;
    platform::SaveDialog m_saveDialog;

    platform::RecordGrid *m_grid = nullptr;
    QWidget *m_panel = nullptr;
    QLabel *m_recordCount = nullptr;
    QLabel *m_warningCount = nullptr;
    platform::FieldEdit *m_tariffBox = nullptr;
    platform::FieldEdit *m_priceBox = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_deleteButton = nullptr;

    std::string m_databaseFile;
    std::string m_lastSupplier;
    std::string m_lastImporter;
    std::string m_lastManufacturer;
    std::string m_lastCurrency;
    std::string m_lastUnit;

    bool m_activated = false;
};

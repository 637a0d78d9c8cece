#pragma once

#include "data/Checks.h"
#include "data/FileIdentity.h"
#include "data/Table.h"
#include "platform/SaveDialog.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace textimport {
struct Source;
} // namespace textimport

namespace platform {
class DataSource;
class FieldEdit;
class FindBar;
class FolderLock;
class RecoveryCopy;
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

    // Start-up: the message, the folder's lock, the recovery question, then the database loaded
    // or created. False when the program is to end without opening the window.
    bool start();
    // Closes as "Izlaz" does, without a question, whatever box is open: a logout or a shutdown.
    void closeOnSignal();

    const data::Table &table() const { return m_products; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildControls();
    void bindTable();
    // An entry of the "Alati" menu, its shortcut working anywhere in the window.
    QAction *addTool(const QString &text, const QKeySequence &shortcut,
                     std::function<void()> handler);

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
    void onTakeBackClicked();
    void onTakeBackChanged();
    // Ends what is being typed, as a cursor move does, before a take-back or an import; a begun
    // record that holds nothing at all (the one deleting the only record begins) is dropped,
    // not kept as an empty row.
    void endTypedRecord();
    void onGridPaste();
    void onImportFileClicked();
    void importFile(const QString &fileName);
    // Reads a supplier's list, lets the clerk map its columns, and appends the good rows as one
    // step that can be taken back.
    void importList(const std::function<textimport::Source()> &read);
    void onPriceBoxLeft();
    void onGridLeft();
    void captureCarriedOverValues();
    void enableDeleteButton();
    void fillCarriedOverValues();
    void updateRecordCount();

    // False when another program holds the folder and the clerk leaves it to that program.
    bool takeFolderLock();
    // Offers the copies of unsaved work; true when the table was loaded from one.
    bool offerRecoveryCopies(bool mayTakeFolderCopy);
    // Runs `write` of the database file, unless another program changed the file since it was
    // read or written here and the clerk keeps that file: then false, the work kept in the
    // window and in the recovery copy. Throws what `write` throws.
    bool writeDatabase(const std::function<void()> &write);
    QString databasePath() const { return QString::fromStdString(m_databaseFile); }

    void writeEmptyDatabase(const std::string &fileName);
    void clearCarriedOverValues();

    void onFocusChanged(QWidget *old, QWidget *now);

    data::Table m_products;
    data::Checks m_checks{m_products}; // before the data source: views read it as they are told
    platform::DataSource *m_dataSource = nullptr;
    platform::TableModel *m_gridModel = nullptr;
    platform::SaveDialog m_saveDialog;

    platform::RecordGrid *m_grid = nullptr;
    platform::FindBar *m_findBar = nullptr;
    QMenu *m_tools = nullptr;
    QAction *m_takeBackAction = nullptr;
    QWidget *m_panel = nullptr;
    QLabel *m_recordCount = nullptr;
    QLabel *m_recoveryProblem = nullptr;
    QLabel *m_warningCount = nullptr;
    platform::FieldEdit *m_tariffBox = nullptr;
    platform::FieldEdit *m_priceBox = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_deleteButton = nullptr;

    std::unique_ptr<platform::FolderLock> m_lock;
    std::unique_ptr<platform::RecoveryCopy> m_recovery;
    // The database file as this program last read or wrote it.
    data::FileIdentity m_databaseState;
    bool m_closingOnSignal = false;
    bool m_closing = false;

    std::string m_databaseFile; // absolute, so a folder that comes back is found again
    std::string m_lastSupplier;
    std::string m_lastImporter;
    std::string m_lastManufacturer;
    std::string m_lastCurrency;
    std::string m_lastUnit;

    bool m_activated = false;
};

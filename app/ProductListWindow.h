#pragma once

#include "gui/dialogs/SaveDialog.h"
#include "gui/widgets/WindowMemory.h"

#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class OpenList;
class QAction;
class QMenu;

namespace data {
class Table;
} // namespace data

namespace textimport {
struct Source;
} // namespace textimport

namespace gui {
class DataSource;
class EntryPanel;
class FindBar;
class RecordGrid;
class TableModel;
} // namespace gui

// The program's one window: the grid of all records above, an edit box per field below, and
// the record commands. The table is the one source of truth; the window reacts to it.
class ProductListWindow : public QWidget {
    Q_OBJECT

public:
    explicit ProductListWindow(QWidget *parent = nullptr);
    ~ProductListWindow() override;

    // Start-up: the message, then the database's session. False when the program is to end
    // without opening the window.
    bool start();
    // Closes as "Izlaz" does, without a question, whatever box is open: a logout or a shutdown.
    void closeOnSignal();

    const data::Table &table() const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildControls();
    void connectCommands();
    // An entry of the "Alati" menu, its shortcut working anywhere in the window.
    QAction *addTool(const QString &text, const QKeySequence &shortcut,
                     std::function<void()> handler);

    void onAddClicked();
    // The navigation buttons: a move on an open table, nothing on a closed one.
    void moveCursor(void (*move)(data::Table &));
    void onDeleteClicked();
    void onExportClicked();
    void onEraseClicked();
    // Ctrl+Z and Ctrl+Y: one step of the table's history back or forward; the record it
    // touched becomes current and the focus goes to the first field it changed.
    void onUndoClicked(bool forward);
    // F8 and Shift+F8: to the next or previous warned record, into its warned field.
    void onWarningKey(bool forward);
    // Puts the focus on `field`: its box, or its cell when the grid has the focus. The box the
    // focus comes from is not left as by Tab or a click.
    void focusField(std::size_t field);
    // "Ispis…" and "Spremi kao PDF…": what is being typed is committed first.
    void onPrintClicked(bool toPdf);
    void onTableChanged();
    // Ends what is being typed, as a cursor move does, before a take-back, an import or a print;
    // a begun record that holds nothing at all (the one deleting the only record begins) is
    // dropped, not kept as an empty row.
    void endTypedRecord();
    void onGridPaste();
    // Ctrl+D in the grid: the selected cells of a column take the first one's value.
    void onGridFill();
    // One value for every selected cell of a column, or one line for each; false, changing
    // nothing, when the clipboard's text is not such a fill.
    bool fillSelection(const std::string &text);
    void fillCells(std::size_t field, const std::vector<std::size_t> &rows,
                   std::vector<std::string> texts);
    // "Otvori popis…" and "Nedavni popisi": the list of another folder in place of this one.
    void onOpenListClicked();
    void openList(const QString &folder);
    // What follows the open list: the title, the folders offered, the find, the recent lists.
    void showOpenList(bool afterSwitch);
    void fillRecentMenu();
    void onImportFileClicked();
    void importFile(const QString &fileName);
    // Reads a supplier's list, lets the clerk map its columns, and appends the good rows as one
    // step that can be taken back.
    void importList(const std::function<textimport::Source()> &read);
    void onPriceBoxLeft();
    void onGridLeft();
    void onFocusChanged(QWidget *old, QWidget *now);

    std::unique_ptr<OpenList> m_list;
    data::Table &m_products;
    gui::DataSource *m_dataSource = nullptr;
    gui::TableModel *m_gridModel = nullptr;
    gui::SaveDialog m_saveDialog;
    gui::WindowMemory m_memory;

    gui::RecordGrid *m_grid = nullptr;
    gui::FindBar *m_findBar = nullptr;
    gui::EntryPanel *m_panel = nullptr;
    QAction *m_undoAction = nullptr;
    QAction *m_redoAction = nullptr;
    QMenu *m_recentMenu = nullptr;
    bool m_closing = false;
    bool m_movingFocus = false;
    bool m_activated = false;
};

#pragma once

#include "data/Table.h"
#include "platform/SaveDialog.h"

#include <QWidget>

#include <string>

class QLabel;
class QPushButton;

namespace platform {
class DataSource;
class DBEdit;
class DBGrid;
class TableModel;
} // namespace platform

// The program's one window: the grid of all records above, an edit box per field below, and
// the record commands. The table is the one source of truth; the window reacts to it.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Start-up: the message, then the database loaded or created.
    void FormCreate();

    const data::Table &table() const { return CDSetLijekovi; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void bindTable();

    // Returns false when the window must stay open.
    bool FormClose();
    void FormActivate();
    void BitBtnAddClick();
    void BitBtnFirstClick();
    void BitBtnPrevClick();
    void BitBtnNextClick();
    void BitBtnLastClick();
    // The navigation buttons: a move on an open table, nothing on a closed one.
    void moveCursor(void (data::Table::*move)());
    void BitBtnDelClick();
    void BitBtnExitClick();
    void BitBtnExportClick();
    void BitBtnEraseClick();
    void DBEditCijenaExit();
    void DBGridLijekoviExit();
    void CDSetLijekoviBeforePost();
    void CDSetLijekoviAfterPost();
    void CDSetLijekoviAfterInsert();
    void DataSourceLijekoviDataChange();

    void CreateEmptyDatabase(const std::string &fileName);
    void PurgeUnnamedRecords();
    void SaveDatabase();
    void clearCarriedOverValues();

    void onFocusChanged(QWidget *old, QWidget *now);

    data::Table CDSetLijekovi;
    platform::DataSource *DataSourceLijekovi = nullptr;
    platform::TableModel *m_gridModel = nullptr;
    platform::SaveDialog SaveDialog1;

    platform::DBGrid *DBGridLijekovi = nullptr;
    QWidget *Panel1 = nullptr;
    QLabel *lblNumOfRecords = nullptr;
    platform::DBEdit *DBEditTar_br = nullptr;
    platform::DBEdit *DBEditCijena = nullptr;
    QPushButton *BitBtnAdd = nullptr;
    QPushButton *BitBtnDel = nullptr;

    std::string dbFileName;
    std::string lastDobavljac;
    std::string lastUvoznik;
    std::string lastProizvodjac;
    std::string lastValuta;
    std::string lastJed_mjere;

    bool m_activated = false;
};

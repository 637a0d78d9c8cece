#pragma once

#include "import/RecordImport.h"
#include "model/Record.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace gui {

// Shows the first rows of a supplier's list with a field chooser above each column and the
// rows the chosen mapping cannot take, and hands back the good records, all or nothing. A
// mapping chosen by hand is kept in the settings for lists with the same headings, or for lists
// of as many columns without headings.
class ImportDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int previewRows = 20;
    static constexpr int listedProblems = 1000;

    // Starts from guessMapping() with the mappings kept from earlier lists.
    explicit ImportDialog(textimport::Source source, QWidget *parent = nullptr);

    // Shows the dialog modally: the good records in order when the clerk brings them in,
    // nothing when cancelled.
    static std::optional<std::vector<data::Record>> run(QWidget *parent, textimport::Source source);
    // Test seam: while set, run() hands the dialog to `script` instead of showing it; the
    // script accepts it or not (not accepting cancels).
    static void setScript(std::function<void(ImportDialog &)> script);

    const textimport::Mapping &mapping() const { return m_mapping; }
    void setMapping(const textimport::Mapping &mapping);
    // Whether the heading row the guess found (or else the first) is taken as headings, with
    // the rows above it left out.
    bool headerRow() const;
    void setHeaderRow(bool headerRow);

    // For the current mapping: the records it brings in and the rows it leaves out.
    const textimport::ImportResult &importResult() const { return m_result; }
    // Why the current mapping cannot be used (a field chosen twice, no name); empty when it can.
    const QString &refusal() const { return m_refusal; }
    QPushButton *importButton() const { return m_importButton; }
    // The good records; meant once the dialog is accepted.
    std::vector<data::Record> takeRecords() { return std::move(m_result.records); }

    // Does nothing while the import button is disabled; otherwise keeps the mapping.
    void accept() override;

private:
    void buildPreview();
    void onFieldChosen(int column, int field);
    void evaluate();
    QString layoutNote() const;
    void labelPreviewRows();
    void showProblems();

    textimport::Source m_source;
    textimport::Mapping m_mapping;
    std::size_t m_headingRow = 0; // the row the header box means; the rows above are a title
    // When offered from the settings: the mapping, and whether for headings.
    std::optional<std::pair<textimport::Mapping, bool>> m_rememberedMapping;
    textimport::ImportResult m_result;
    QString m_refusal;
    QTableWidget *m_preview;
    QCheckBox *m_headerRow;
    QLabel *m_note;
    QLabel *m_layoutNote; // the title left out, a kept mapping, totals, the headings' currency
    QLabel *m_ungroupedNote;
    QLabel *m_problemTitle;
    QListWidget *m_problems;
    QPushButton *m_importButton;
};

} // namespace gui

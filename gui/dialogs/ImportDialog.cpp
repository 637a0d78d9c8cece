#include "gui/dialogs/ImportDialog.h"

#include "gui/dialogs/AppSettings.h"
#include "model/Plural.h"
#include "model/ProductSchema.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <memory>

namespace gui {

namespace {

using namespace Qt::StringLiterals;

const QString mappingKey = u"uvoz/polja"_s;
constexpr int skipped = -1;

// The fields in the order of the entry panel's boxes, which the clerk knows.
constexpr std::array<std::size_t, data::ProductFieldCount> formOrder = {
    data::TariffNumber, data::Name,     data::CatalogueNumber, data::ClassificationCode,
    data::Manufacturer, data::Protocol, data::Supplier,        data::Importer,
    data::Unit,         data::Quantity, data::Currency,        data::Price,
};

std::function<void(ImportDialog &)> &script()
{
    static std::function<void(ImportDialog &)> s;
    return s;
}

QString fromUtf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString caption(std::size_t field)
{
    return fromUtf8(data::productSchema()[field].caption);
}

const QString memoryKey = u"uvoz/rasporedi"_s;

// A mapping is kept by stored field name, one per column ("" for a skipped one): the names
// never change.
textimport::Mapping mappingFrom(const QStringList &names)
{
    textimport::Mapping mapping;
    for (const QString &name : names)
        mapping.push_back(data::productSchema().indexOf(name.toStdString()));
    return mapping;
}

QStringList namesOf(const textimport::Mapping &mapping)
{
    QStringList names;
    for (const auto &field : mapping)
        names << (field ? fromUtf8(data::productSchema()[*field].name) : QString());
    return names;
}

// The mappings kept; the one mapping that earlier versions kept counts as a list's without
// headings of its width.
textimport::MappingMemory loadMemory()
{
    const std::unique_ptr<QSettings> s = appSettings();
    std::vector<textimport::MappingMemory::Entry> entries;
    const int size = s->beginReadArray(memoryKey);
    for (int i = 0; i < size; ++i) {
        s->setArrayIndex(i);
        textimport::MappingMemory::Entry entry{{},
                                               mappingFrom(s->value(u"polja"_s).toStringList())};
        for (const QString &heading : s->value(u"naslovi"_s).toStringList())
            entry.headings.push_back(heading.toStdString());
        entries.push_back(std::move(entry));
    }
    s->endArray();
    entries.push_back({{}, mappingFrom(s->value(mappingKey).toStringList())});
    return textimport::MappingMemory(std::move(entries));
}

void saveMemory(const textimport::MappingMemory &memory)
{
    const std::unique_ptr<QSettings> s = appSettings();
    s->remove(mappingKey);
    s->remove(memoryKey);
    s->beginWriteArray(memoryKey, static_cast<int>(memory.entries().size()));
    for (int i = 0; i < static_cast<int>(memory.entries().size()); ++i) {
        const textimport::MappingMemory::Entry &entry =
            memory.entries()[static_cast<std::size_t>(i)];
        s->setArrayIndex(i);
        QStringList headings;
        for (const std::string &heading : entry.headings)
            headings << fromUtf8(heading);
        s->setValue(u"naslovi"_s, headings);
        s->setValue(u"polja"_s, namesOf(entry.mapping));
    }
    s->endArray();
}

// "1 zapis", "2 zapisa", "5 zapisa", "21 zapis".
QString records(std::size_t n)
{
    return u"%1 "_s.arg(n) + fromUtf8(data::pluralForm(n, "zapis", "zapisa", "zapisa"));
}

// Tariff numbers that fit their field only without the spaces and dots that group them.
QString ungroupedNote(std::size_t n)
{
    if (n == 0)
        return {};
    const std::size_t length = data::productSchema()[data::TariffNumber].maxLength;
    return u"Tarifni broj: %1 %2 uvest će se bez razmaka i točaka jer polje ima mjesta za "
           u"najviše %3 %4."_s.arg(n)
               .arg(fromUtf8(data::pluralForm(n, "vrijednost", "vrijednosti", "vrijednosti")))
               .arg(length)
               .arg(fromUtf8(data::pluralForm(length, "znak", "znaka", "znakova")));
}

// "redak 12", "retci 12, 20, 31", the first ten of many and "…".
QString lineList(const std::vector<std::size_t> &lines)
{
    QStringList numbers;
    for (std::size_t i = 0; i < std::min<std::size_t>(lines.size(), 10); ++i)
        numbers << QString::number(lines[i]);
    if (lines.size() > 10)
        numbers << u"…"_s;
    return (lines.size() == 1 ? u"redak "_s : u"retci "_s) + numbers.join(u", "_s);
}

} // namespace

ImportDialog::ImportDialog(textimport::Source source, QWidget *parent)
    : QDialog(parent)
    , m_source(std::move(source))
    , m_preview(new QTableWidget(this))
    , m_headerRow(new QCheckBox(u"Prvi redak je zaglavlje"_s, this))
    , m_note(new QLabel(this))
    , m_layoutNote(new QLabel(this))
    , m_ungroupedNote(new QLabel(this))
    , m_problemTitle(new QLabel(this))
    , m_problems(new QListWidget(this))
{
    setWindowTitle(u"Uvoz popisa"_s);
    const textimport::MappingGuess guess = textimport::guessMapping(m_source, loadMemory());
    m_mapping = guess.mapping;
    m_headingRow = guess.headingRow;
    if (guess.remembered)
        m_rememberedMapping = {guess.mapping, guess.headerRow};
    m_headerRow->setChecked(guess.headerRow);
    if (m_headingRow > 0)
        m_headerRow->setText(u"Redak %1 je zaglavlje"_s.arg(m_source.rows[m_headingRow].line));

    auto *intro =
        new QLabel(u"Za svaki stupac odaberite polje u koje ide. Prikazani retci: %1 od %2."_s
                       .arg(std::min<std::size_t>(previewRows, m_source.rows.size()))
                       .arg(m_source.rows.size()),
                   this);
    intro->setWordWrap(true);
    m_note->setStyleSheet(u"color: #b00000"_s);
    m_note->setWordWrap(true);
    m_layoutNote->setObjectName(u"layoutNote"_s);
    m_layoutNote->setWordWrap(true);
    m_ungroupedNote->setObjectName(u"ungroupedNote"_s);
    m_ungroupedNote->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(this);
    m_importButton = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    buttons->addButton(u"Odustani"_s, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &ImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ImportDialog::reject);
    connect(m_headerRow, &QCheckBox::toggled, this, &ImportDialog::evaluate);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_headerRow);
    layout->addWidget(m_preview, 3);
    layout->addWidget(m_note);
    layout->addWidget(m_layoutNote);
    layout->addWidget(m_ungroupedNote);
    layout->addWidget(m_problemTitle);
    layout->addWidget(m_problems, 1);
    layout->addWidget(buttons);
    resize(900, 600);

    buildPreview();
    evaluate();
}

void ImportDialog::buildPreview()
{
    const int shown = static_cast<int>(std::min<std::size_t>(previewRows, m_source.rows.size()));
    m_preview->setColumnCount(static_cast<int>(m_source.columnCount));
    m_preview->setRowCount(shown + 1);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->horizontalHeader()->hide();
    QStringList lines{u"Polje"_s};
    for (int row = 0; row < shown; ++row) {
        const textimport::SourceRow &source = m_source.rows[static_cast<std::size_t>(row)];
        lines << QString::number(source.line);
        for (std::size_t column = 0; column < source.cells.size(); ++column)
            m_preview->setItem(row + 1, static_cast<int>(column),
                               new QTableWidgetItem(fromUtf8(source.cells[column])));
    }
    m_preview->setVerticalHeaderLabels(lines);

    for (int column = 0; column < m_preview->columnCount(); ++column) {
        auto *chooser = new QComboBox(m_preview);
        chooser->setObjectName(u"fieldChooser%1"_s.arg(column));
        chooser->addItem(u"— preskoči —"_s, skipped);
        for (std::size_t field : formOrder)
            chooser->addItem(caption(field), static_cast<int>(field));
        const auto &field = m_mapping[static_cast<std::size_t>(column)];
        chooser->setCurrentIndex(chooser->findData(field ? static_cast<int>(*field) : skipped));
        connect(chooser, &QComboBox::activated, this,
                [this, chooser, column] { onFieldChosen(column, chooser->currentData().toInt()); });
        m_preview->setCellWidget(0, column, chooser);
    }
    m_preview->resizeColumnsToContents();
}

void ImportDialog::setMapping(const textimport::Mapping &mapping)
{
    for (int column = 0; column < m_preview->columnCount(); ++column) {
        const auto index = static_cast<std::size_t>(column);
        m_mapping[index] = index < mapping.size() ? mapping[index] : std::nullopt;
        auto *chooser = static_cast<QComboBox *>(m_preview->cellWidget(0, column));
        const auto &field = m_mapping[index];
        chooser->setCurrentIndex(chooser->findData(field ? static_cast<int>(*field) : skipped));
    }
    evaluate();
}

bool ImportDialog::headerRow() const
{
    return m_headerRow->isChecked();
}

void ImportDialog::setHeaderRow(bool headerRow)
{
    m_headerRow->setChecked(headerRow);
}

void ImportDialog::onFieldChosen(int column, int field)
{
    m_mapping[static_cast<std::size_t>(column)] =
        field == skipped ? std::nullopt : std::optional<std::size_t>(field);
    evaluate();
}

void ImportDialog::evaluate()
{
    m_result = {};
    m_refusal.clear();
    if (m_source.rows.empty())
        m_refusal = u"U popisu nema redaka za uvoz."_s;
    else if (const auto twice = textimport::fieldChosenTwice(m_mapping))
        m_refusal = QString::fromStdString(textimport::chosenTwiceReason(*twice));
    else if (std::find(m_mapping.begin(), m_mapping.end(), data::Name) == m_mapping.end())
        m_refusal = u"Odaberite stupac za polje „Naziv”: zapis bez naziva ne sprema se."_s;
    else
        m_result = textimport::convert(m_source, m_mapping, headerRow(), m_headingRow);

    m_note->setText(m_refusal);
    m_note->setVisible(!m_refusal.isEmpty());
    m_layoutNote->setText(layoutNote());
    m_layoutNote->setVisible(!m_layoutNote->text().isEmpty());
    m_ungroupedNote->setText(ungroupedNote(m_result.ungroupedTariffNumbers));
    m_ungroupedNote->setVisible(!m_ungroupedNote->text().isEmpty());
    m_importButton->setText(u"Uvezi %1"_s.arg(records(m_result.records.size())));
    m_importButton->setEnabled(m_refusal.isEmpty() && !m_result.records.empty());
    labelPreviewRows();
    showProblems();
}

QString ImportDialog::layoutNote() const
{
    QStringList lines;
    if (headerRow() && m_headingRow > 0)
        lines << u"Preskočeni retci iznad naslova: %1"_s.arg(m_headingRow);
    if (m_rememberedMapping && *m_rememberedMapping == std::pair(m_mapping, headerRow()))
        lines << (headerRow() ? u"Stupci su raspoređeni kao pri zadnjem uvozu popisa s istim "
                                u"naslovima."_s
                              : u"Stupci su raspoređeni kao pri zadnjem uvozu popisa od %1 "
                                u"stupaca bez naslova."_s.arg(m_mapping.size()));
    if (const std::vector<std::size_t> &totals = m_result.totalLines; !totals.empty())
        lines << u"Retci sa zbrojem, koji se ne uvoze: %1 (%2)"_s.arg(totals.size())
                     .arg(lineList(totals));
    if (m_result.currencyFromHeading > 0)
        lines << u"Valuta: %1 bez valute dobit će %2 iz naslova stupca „%3”."_s
                     .arg(records(m_result.currencyFromHeading))
                     .arg(fromUtf8(m_result.headingCurrency->code))
                     .arg(fromUtf8(textimport::headingsOf(
                         m_source, m_headingRow)[m_result.headingCurrency->column]));
    return lines.join(u'\n');
}

void ImportDialog::labelPreviewRows()
{
    const std::vector<std::size_t> &totals = m_result.totalLines;
    for (int row = 1; row < m_preview->rowCount(); ++row) {
        const auto index = static_cast<std::size_t>(row - 1);
        const std::size_t line = m_source.rows[index].line;
        QString label = QString::number(line);
        if (headerRow() && index == m_headingRow)
            label = u"Zaglavlje"_s;
        else if (headerRow() && index < m_headingRow)
            label = u"Preskočeno"_s;
        else if (std::ranges::binary_search(totals, line))
            label = u"Zbroj"_s;
        m_preview->setVerticalHeaderItem(row, new QTableWidgetItem(label));
    }
}

void ImportDialog::showProblems()
{
    const std::vector<textimport::Problem> &problems = m_result.problems;
    m_problemTitle->setText(u"Retci koji se neće uvesti: %1"_s.arg(problems.size()));
    m_problems->clear();
    const std::size_t listed = std::min<std::size_t>(problems.size(), listedProblems);
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(listed) + 1);
    for (std::size_t i = 0; i < listed; ++i)
        lines << u"Redak %1: %2"_s.arg(problems[i].line).arg(fromUtf8(problems[i].reason));
    if (problems.size() > listed)
        lines << u"… i još %1"_s.arg(problems.size() - listed);
    m_problems->addItems(lines);
}

void ImportDialog::accept()
{
    if (!m_importButton->isEnabled())
        return;
    textimport::MappingMemory memory = loadMemory();
    if (headerRow()) {
        // Only a mapping chosen by hand is kept: the headings give the rest again.
        std::vector<std::string> headings = textimport::headingsOf(m_source, m_headingRow);
        if (m_mapping == textimport::mappingOfHeadings(headings))
            memory.forget(headings, m_mapping.size());
        else
            memory.remember(std::move(headings), m_mapping);
    } else {
        memory.remember({}, m_mapping);
    }
    saveMemory(memory);
    QDialog::accept();
}

std::optional<std::vector<data::Record>> ImportDialog::run(QWidget *parent,
                                                           textimport::Source source)
{
    ImportDialog dialog(std::move(source), parent);
    if (script())
        script()(dialog);
    else
        dialog.exec();
    if (dialog.result() != QDialog::Accepted)
        return std::nullopt;
    return dialog.takeRecords();
}

void ImportDialog::setScript(std::function<void(ImportDialog &)> script)
{
    gui::script() = std::move(script);
}

} // namespace gui

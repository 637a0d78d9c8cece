#include "import/RecordImport.h"

#include "model/Encoding.h"
#include "model/Find.h"
#include "model/NumberText.h"
#include "model/Plural.h"
#include "model/ProductSchema.h"
#include "model/TariffNumber.h"
#include "platform/Error.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <iterator>

namespace textimport {

namespace {

using data::ProductFieldCount;

const std::string &captionOf(std::size_t field)
{
    return data::productSchema()[field].caption;
}

// How suppliers head a field's column besides its caption and stored name. Abbreviations with
// a dot ("Kat. br.", "Jed. mjere", "Kol.") match the words they shorten, so only whole words are
// written here; no wording may belong to two fields.
constexpr auto wordings = std::to_array<std::pair<data::ProductField, std::string_view>>({
    {data::TariffNumber, "Tarifna oznaka"},
    {data::TariffNumber, "Carinska tarifna oznaka"},
    {data::TariffNumber, "Carinski tarifni broj"},
    {data::TariffNumber, "Carinska tarifa"},
    {data::TariffNumber, "Oznaka KN"},
    {data::TariffNumber, "KN oznaka"},
    {data::Name, "Naziv artikla"},
    {data::Name, "Artikl"},
    {data::Name, "Proizvod"},
    {data::CatalogueNumber, "Kataloška oznaka"},
    {data::CatalogueNumber, "REF"},
    {data::CatalogueNumber, "Šifra"},
    {data::CatalogueNumber, "Šifra artikla"},
    // Whole, or "proizvođača" would make it the manufacturer's.
    {data::CatalogueNumber, "Šifra proizvođača"},
    {data::ClassificationCode, "ATC"},
    {data::ClassificationCode, "ATK oznaka"},
    {data::ClassificationCode, "ATC oznaka"},
    {data::Manufacturer, "Naziv proizvođača"},
    {data::Supplier, "Naziv dobavljača"},
    {data::Supplier, "Isporučitelj"},
    {data::Importer, "Naziv korisnika"},
    {data::Importer, "Naziv uvoznika"},
    {data::Unit, "JM"},
    {data::Unit, "JMJ"},
    {data::Unit, "Jedinica"},
    {data::Unit, "Mjerna jedinica"},
    {data::Currency, "Oznaka valute"},
    {data::Price, "Jedinična cijena"},
    {data::Price, "Cijena po jedinici"},
    {data::Price, "Cijena po komadu"},
    {data::Price, "Nabavna cijena"},
    {data::Price, "Veleprodajna cijena"},
    {data::Price, "VPC"},
    {data::Protocol, "Broj protokola"},
});

// Words after a caption that make the column something we do not keep ("Cijena ukupno").
constexpr std::array<std::string_view, 5> otherMeanings = {"ukupn", "iznos", "pdv", "rabat",
                                                           "popust"};

// A heading's word, folded as a search folds it; `shortened` when a dot followed it.
struct Word {
    std::u32string letters;
    bool shortened = false;
};

bool isWordLetter(char32_t c)
{
    return (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') ||
           (c >= 0xC0 && !(c >= 0x2000 && c < 0x2070));
}

// The words of a heading: anything but letters and digits parts them (spaces, colons, "_",
// brackets), and a dot ends an abbreviation.
std::vector<Word> wordsOf(std::string_view text)
{
    std::vector<Word> words(1);
    const auto *at = reinterpret_cast<const unsigned char *>(text.data());
    const auto *end = at + text.size();
    while (at < end) {
        const char32_t c = data::FindText::fold(data::decodeUtf8(at, end));
        if (c == 0)
            continue;
        if (isWordLetter(c)) {
            words.back().letters.push_back(c);
            continue;
        }
        if (words.back().letters.empty())
            continue;
        words.back().shortened = c == U'.';
        words.emplace_back();
    }
    if (words.back().letters.empty())
        words.pop_back();
    return words;
}

// A heading's word matches a name's whole word, or its beginning when shortened with a dot.
bool matches(const Word &heading, const Word &name)
{
    return heading.shortened ? name.letters.starts_with(heading.letters)
                             : heading.letters == name.letters;
}

// Whether `heading` begins with the words of `name` (all of them when `whole`).
bool beginsWith(const std::vector<Word> &heading, const std::vector<Word> &name, bool whole)
{
    if (name.empty() || heading.size() < name.size() || (whole && heading.size() != name.size()))
        return false;
    return std::equal(heading.begin(), heading.begin() + static_cast<std::ptrdiff_t>(name.size()),
                      name.begin(), matches);
}

// Every name a field goes by: its caption, its stored name and the wordings. Read once: the
// heading search asks for them for every cell of the first rows.
const std::vector<std::vector<Word>> &namesOf(std::size_t field)
{
    static const auto names = [] {
        std::array<std::vector<std::vector<Word>>, ProductFieldCount> all;
        for (std::size_t f = 0; f < ProductFieldCount; ++f) {
            all[f] = {wordsOf(captionOf(f)), wordsOf(data::productSchema()[f].name)};
            for (const auto &[wordingField, wording] : wordings) {
                if (wordingField == f)
                    all[f].push_back(wordsOf(wording));
            }
        }
        return all;
    }();
    return names[field];
}

// The stem of a caption's word that its other forms share: "cijen" for "cijene" and "cijenu".
std::u32string stemOf(std::u32string word)
{
    if (word.size() >= 5 && std::u32string_view(U"aeiou").find(word.back()) != std::u32string::npos)
        word.pop_back();
    return word;
}

// Whether a word names a field other than `field` (a word of that field's caption or one-word
// stored name, in any form; a word that two fields share names neither), or something none of
// ours.
bool namesSomethingElse(const Word &word, std::size_t field)
{
    for (std::string_view other : otherMeanings) {
        if (word.letters.starts_with(std::u32string(other.begin(), other.end())))
            return true;
    }
    static const auto stems = [] {
        std::vector<std::pair<std::u32string, std::size_t>> all;
        for (std::size_t f = 0; f < ProductFieldCount; ++f) {
            for (const Word &w : wordsOf(captionOf(f)))
                all.emplace_back(stemOf(w.letters), f);
            // A stored name of one word is a name too ("Uvoznik"); "Tar_br" and the like are not.
            if (const std::vector<Word> stored = wordsOf(data::productSchema()[f].name);
                stored.size() == 1)
                all.emplace_back(stemOf(stored[0].letters), f);
        }
        return all;
    }();
    std::optional<std::size_t> named;
    for (const auto &[stem, f] : stems) {
        if (!word.letters.starts_with(stem))
            continue;
        if (named && *named != f)
            return false; // a word of two captions ("broj") names neither
        named = f;
    }
    return named && *named != field;
}

} // namespace

std::optional<std::size_t> fieldForHeading(std::string_view cell)
{
    const std::vector<Word> heading = wordsOf(cell);
    if (heading.empty())
        return std::nullopt;
    // First a name as a whole, then a name with words after it that name nothing else. A
    // heading that two fields could claim is left to the clerk.
    for (const bool whole : {true, false}) {
        std::optional<std::size_t> found;
        for (std::size_t field = 0; field < ProductFieldCount; ++field) {
            for (const std::vector<Word> &name : namesOf(field)) {
                if (!beginsWith(heading, name, whole) ||
                    std::any_of(heading.begin() + static_cast<std::ptrdiff_t>(name.size()),
                                heading.end(),
                                [&](const Word &w) { return namesSomethingElse(w, field); }))
                    continue;
                if (found && *found != field)
                    return std::nullopt;
                found = field;
            }
        }
        if (found)
            return found;
    }
    return std::nullopt;
}

std::span<const std::pair<data::ProductField, std::string_view>> headingWordings()
{
    return wordings;
}

namespace {

// A row read as headings: the fields its cells name, and whether it is headings at all (at least
// half its filled cells name fields, none of them twice).
struct HeadingReading {
    Mapping mapping;
    std::size_t named = 0;
    bool headings = false;
};

HeadingReading readHeadings(const std::vector<std::string> &cells, std::size_t columns)
{
    HeadingReading reading{Mapping(columns)};
    std::size_t filled = 0;
    bool twice = false;
    for (std::size_t column = 0; column < cells.size(); ++column) {
        if (data::trimSpaces(cells[column]).empty())
            continue;
        ++filled;
        if (const auto field = fieldForHeading(cells[column])) {
            twice = twice || std::ranges::find(reading.mapping, field) != reading.mapping.end();
            reading.mapping[column] = field;
            ++reading.named;
        }
    }
    reading.headings = reading.named > 0 && 2 * reading.named >= filled && !twice;
    return reading;
}

} // namespace

MappingGuess guessMapping(const Source &source, const MappingMemory &memory)
{
    const std::size_t columns = source.columnCount;
    MappingGuess guess{Mapping(columns)};
    // A title may stand above the headings, and a line of it may name a field as well
    // ("Dobavljač: Medika d.d."): the row that names the most is taken. The export writes no
    // headings, and a record of it may look like them (a name "Naziv", nothing else).
    const std::size_t searched =
        source.exportForm ? 0 : std::min(headingSearchRows, source.rows.size());
    std::size_t mostNamed = 0;
    for (std::size_t r = 0; r < searched; ++r) {
        HeadingReading reading = readHeadings(source.rows[r].cells, columns);
        if (!reading.headings || reading.named <= mostNamed || (r > 0 && reading.named < 2))
            continue;
        mostNamed = reading.named;
        guess.mapping = std::move(reading.mapping);
        guess.headerRow = true;
        guess.headingRow = r;
    }
    const Mapping *kept = guess.headerRow
                              ? memory.find(headingsOf(source, guess.headingRow), columns)
                          : columns == ProductFieldCount ? nullptr
                                                         : memory.find({}, columns);
    if (kept) {
        guess.mapping = *kept;
        guess.remembered = true;
    } else if (!guess.headerRow && columns == ProductFieldCount) {
        for (std::size_t column = 0; column < columns; ++column)
            guess.mapping[column] = column;
    }
    return guess;
}

std::vector<std::string> headingsOf(const Source &source, std::size_t row)
{
    std::vector<std::string> headings(source.columnCount);
    const std::vector<std::string> &cells = source.rows.at(row).cells;
    for (std::size_t column = 0; column < cells.size(); ++column)
        headings[column] = data::trimSpaces(cells[column]);
    return headings;
}

Mapping mappingOfHeadings(const std::vector<std::string> &headings)
{
    Mapping mapping(headings.size());
    std::ranges::transform(headings, mapping.begin(), fieldForHeading);
    return mapping;
}

std::optional<std::size_t> fieldChosenTwice(const Mapping &mapping)
{
    std::array<bool, ProductFieldCount> chosen{};
    for (const auto &field : mapping) {
        if (!field)
            continue;
        if (chosen.at(*field))
            return field;
        chosen[*field] = true;
    }
    return std::nullopt;
}

std::string chosenTwiceReason(std::size_t field)
{
    return "Polje „" + captionOf(field) + "” odabrano je dvaput.";
}

namespace {

// One source row's values by field, with the reasons any of them cannot be taken. Kept from row to
// row, so that its strings keep their room.
struct RowReading {
    std::array<std::string, ProductFieldCount> values;
    std::string reasons;       // "Caption: reason; …"
    std::size_t ungrouped = 0; // tariff numbers that fit only without their spaces and dots

    void addReason(std::size_t field, const std::string &reason)
    {
        if (!reasons.empty())
            reasons += "; ";
        reasons += captionOf(field) + ": " + reason;
    }

    void readNumber(std::size_t field, std::string_view cell, bool exportForm)
    {
        const data::NumberReading number = data::readNumber(
            cell, exportForm ? data::NumberSource::Export : data::NumberSource::List);
        if (number.form == data::NumberReading::Form::Number)
            values[field] = data::storedNumberText(number.value);
        else if (number.form != data::NumberReading::Form::Empty)
            addReason(field, number.problem);
    }

    void readText(std::size_t field, std::string_view cell)
    {
        const data::FieldDef &def = data::productSchema()[field];
        // Cleaning may turn a control character at an end into a space, or drop it.
        values[field] = data::isCleanText(cell)
                            ? std::string(cell)
                            : std::string(data::trimSpaces(data::sanitizeText(cell)));
        const std::size_t length = data::codePointCount(values[field]);
        if (length <= def.maxLength)
            return;
        // "3004 90 00 00" is a 10-digit tariff number that its grouping made too long.
        const auto digits =
            field == data::TariffNumber ? data::ungroupedTariffNumber(values[field]) : std::nullopt;
        if (digits && digits->size() <= def.maxLength) {
            values[field] = *digits;
            ++ungrouped;
        } else {
            addReason(field, data::characterCount(length) + ", a dopušteno je najviše " +
                                 data::characterCount(def.maxLength));
        }
    }

    void read(const SourceRow &row, const Mapping &mapping, bool exportForm)
    {
        for (std::string &v : values)
            v.clear();
        reasons.clear();
        ungrouped = 0;
        for (std::size_t column = 0; column < mapping.size(); ++column) {
            if (!mapping[column])
                continue;
            const std::size_t field = *mapping[column];
            // Spreadsheets keep the spaces typed around a value; no field wants them.
            const std::string_view cell = data::trimSpaces(
                column < row.cells.size() ? std::string_view(row.cells[column]) : "");
            if (data::productSchema()[field].isNumber())
                readNumber(field, cell, exportForm);
            else
                readText(field, cell);
        }
    }

    // Something that names the product besides its name.
    bool identified() const
    {
        return !values[data::TariffNumber].empty() || !values[data::CatalogueNumber].empty() ||
               !values[data::ClassificationCode].empty();
    }
};

// The source's own problems and those of its rows, in line order. A quote left open in the
// title above the headings loses no row of the list.
std::vector<Problem> allProblems(const Source &source, const std::vector<Problem> &rowProblems,
                                 bool headerRow, std::size_t headingRow)
{
    const auto titleEnd = std::ranges::find_if(source.problems, [&](const Problem &p) {
        return !headerRow || p.line > source.rows[headingRow].line;
    });
    std::vector<Problem> problems;
    std::merge(titleEnd, source.problems.end(), rowProblems.begin(), rowProblems.end(),
               std::back_inserter(problems),
               [](const Problem &a, const Problem &b) { return a.line < b.line; });
    return problems;
}

} // namespace

ImportResult convert(const Source &source, const Mapping &mapping, bool headerRow,
                     std::size_t headingRow)
{
    if (const auto field = fieldChosenTwice(mapping))
        throw data::Error(chosenTwiceReason(*field));
    ImportResult result;
    std::vector<Problem> rowProblems;
    result.records.reserve(source.rows.size());
    RowReading reading;
    std::array<std::string_view, ProductFieldCount> views;

    headerRow = headerRow && headingRow < source.rows.size();
    const std::size_t firstRow = headerRow ? headingRow + 1 : 0;
    if (headerRow)
        result.headingCurrency = currencyOfHeadings(headingsOf(source, headingRow), mapping);
    const std::string_view headingCurrency =
        result.headingCurrency ? std::string_view(result.headingCurrency->code) : "";
    TotalRows totals(source, firstRow);

    for (std::size_t r = firstRow; r < source.rows.size(); ++r) {
        const SourceRow &row = source.rows[r];
        reading.read(row, mapping, source.exportForm);
        auto &values = reading.values;
        // The export's records come back as they went, whatever their names.
        if (!source.exportForm && totals.isTotal(r, values[data::Name], reading.identified())) {
            result.totalLines.push_back(row.line);
            continue;
        }
        if (values[data::Name].empty() && reading.reasons.empty())
            reading.reasons = "nema naziva (zapis bez naziva ne sprema se)";
        if (!reading.reasons.empty()) {
            rowProblems.push_back({row.line, reading.reasons});
            continue;
        }
        if (values[data::Currency].empty() && !headingCurrency.empty()) {
            values[data::Currency] = headingCurrency;
            ++result.currencyFromHeading;
        }
        std::copy(values.begin(), values.end(), views.begin());
        result.records.emplace_back(views);
        result.ungroupedTariffNumbers += reading.ungrouped;
    }
    result.problems = allProblems(source, rowProblems, headerRow, headingRow);
    return result;
}

} // namespace textimport

#include "model/Checks.h"

#include "model/Ascii.h"
#include "model/CurrencyCodes.h"
#include "model/NumberText.h"
#include "model/TariffNumber.h"

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

namespace data {

namespace {

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool isEmpty(std::string_view v)
{
    return v.empty();
}

bool hasLowerCase(std::string_view v)
{
    return std::ranges::any_of(v, [](char c) { return c >= 'a' && c <= 'z'; });
}

std::string upper(std::string_view v)
{
    std::string s(v);
    for (char &c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

// `v` is `word` (in capitals) written in any case; nothing is copied, as every record's
// currency is looked at.
bool isWord(std::string_view v, std::string_view word)
{
    if (v.size() != word.size())
        return false;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != word[i] && v[i] != word[i] - 'A' + 'a')
            return false;
    }
    return true;
}

// A space, tab or no-break space (U+00A0, U+202F) at the start or the end.
bool hasSpaceAtEnds(std::string_view v)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    return !v.empty() && (isSpace(v.front()) || isSpace(v.back()) || v.starts_with("\xC2\xA0") ||
                          v.ends_with("\xC2\xA0") || v.starts_with("\xE2\x80\xAF") ||
                          v.ends_with("\xE2\x80\xAF"));
}

// The rules of a tariff number after the first two may take it for granted that it holds
// digits with single spaces or dots between them, and nothing else.
bool notGroupedDigits(std::string_view v)
{
    return !v.empty() && !ungroupedTariffNumber(v);
}

// 8 digits (Combined Nomenclature) or 10 (TARIC).
bool wrongDigitCount(std::string_view v)
{
    const auto digits = std::ranges::count_if(v, isDigit);
    return digits != 8 && digits != 10;
}

// Chapter 00 does not exist, and the nomenclature keeps 77 in reserve.
bool noSuchChapter(std::string_view v)
{
    std::array<char, 2> chapter{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < v.size() && n < chapter.size(); ++i) {
        if (isDigit(v[i]))
            chapter[n++] = v[i];
    }
    return n == 2 && chapter[0] == chapter[1] && (chapter[0] == '0' || chapter[0] == '7');
}

bool isAtcGroup(char c)
{
    return std::string_view("ABCDGHJLMNPRSV").find(c) != std::string_view::npos;
}

// The five levels: A, A10, A10B, A10BA, A10BA02.
bool hasAtcShape(std::string_view v)
{
    if (v.size() != 1 && v.size() != 3 && v.size() != 4 && v.size() != 5 && v.size() != 7)
        return false;
    static constexpr std::string_view shape = "LDDLLDD";
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (!(shape[i] == 'D' ? isDigit(v[i]) : isUpper(v[i])))
            return false;
    }
    return true;
}

// ATCvet: Q before a code of the human form, with I (immunologicals) as a group of its own.
bool isAtcVetCode(std::string_view v)
{
    return v.size() >= 2 && v[0] == 'Q' && (isAtcGroup(v[1]) || v[1] == 'I') &&
           hasAtcShape(v.substr(1));
}

bool lowerCaseAtc(std::string_view v)
{
    if (!hasLowerCase(v))
        return false;
    const std::string u = upper(v);
    return (isAtcGroup(u[0]) && hasAtcShape(u)) || isAtcVetCode(u);
}

bool notAtcGroup(std::string_view v)
{
    return !v.empty() && !isAtcGroup(v[0]);
}

bool notAtcCode(std::string_view v)
{
    return !v.empty() && !hasAtcShape(v);
}

bool isKuna(std::string_view v)
{
    return isWord(v, "HRK") || isWord(v, "KN") || isWord(v, "KUNA");
}

bool isLev(std::string_view v)
{
    return isWord(v, "BGN");
}

bool notUpperCaseCode(std::string_view v)
{
    return hasLowerCase(v) && isCurrentCurrencyCode(upper(v));
}

bool notCurrencyCode(std::string_view v)
{
    return !isCurrentCurrencyCode(v);
}

// Most amounts are plainly positive, and reading the text is enough to tell.
bool plainlyPositive(std::string_view v)
{
    return !v.starts_with('-') && v.find_first_of("123456789") != std::string_view::npos;
}

bool notPositive(std::string_view v)
{
    if (plainlyPositive(v))
        return false;
    const std::optional<double> n = storedNumberValue(v);
    return n && *n <= 0;
}

bool negative(std::string_view v)
{
    if (plainlyPositive(v))
        return false;
    const std::optional<double> n = storedNumberValue(v);
    return n && *n < 0;
}

// A field's rules in the order they are tried; the first that questions a value gives its
// reason, and a rule may take for granted that the ones before it passed.
constexpr std::array rules = {
    // The record is dropped at the next save: what its other fields lack no longer matters.
    CheckRule{Name, isEmpty, "Zapis bez naziva neće se spremiti", true},
    CheckRule{TariffNumber, isEmpty, "Tarifni broj nije upisan"},
    CheckRule{TariffNumber, hasSpaceAtEnds, "Tarifni broj ima razmak na početku ili na kraju"},
    CheckRule{TariffNumber, notGroupedDigits,
              "Tarifni broj smije imati samo znamenke, s razmakom ili točkom između skupina"},
    CheckRule{TariffNumber, wrongDigitCount, "Tarifni broj treba imati 8 ili 10 znamenaka"},
    CheckRule{TariffNumber, noSuchChapter,
              "Tarifni broj počinje poglavljem koje ne postoji (00 ili 77)"},
    CheckRule{ClassificationCode, lowerCaseAtc, "ATK se piše velikim slovima"},
    CheckRule{ClassificationCode, isAtcVetCode,
              "ATK je veterinarska oznaka (ATCvet), a ne oznaka za primjenu kod ljudi"},
    CheckRule{ClassificationCode, notAtcGroup,
              "ATK ne počinje slovom skupine (A B C D G H J L M N P R S V)"},
    CheckRule{ClassificationCode, notAtcCode, "ATK nije u obliku A, A10, A10B, A10BA ili A10BA02"},
    CheckRule{Currency, isEmpty, "Valuta nije upisana"},
    CheckRule{Currency, isKuna, "Kunu (HRK) je 1. siječnja 2023. zamijenio euro (EUR)"},
    CheckRule{Currency, isLev, "Bugarski lev (BGN) je 1. siječnja 2026. zamijenjen eurom (EUR)"},
    CheckRule{Currency, notUpperCaseCode, "Oznaka valute piše se velikim slovima"},
    CheckRule{Currency, notCurrencyCode, "Valuta nije važeća oznaka prema ISO 4217"},
    CheckRule{Quantity, isEmpty, "Količina nije upisana"},
    CheckRule{Quantity, notPositive, "Količina mora biti veća od nule"},
    CheckRule{Price, isEmpty, "Cijena nije upisana"},
    CheckRule{Price, negative, "Cijena je negativna"},
};

// A rule's number takes five bits per field.
constexpr unsigned ruleBits = 5;
static_assert(rules.size() < (1u << ruleBits) && ProductFieldCount * ruleBits <= 64);

unsigned ruleNumber(std::uint64_t rules, std::size_t field)
{
    return static_cast<unsigned>(rules >> (ruleBits * field)) & ((1u << ruleBits) - 1);
}

} // namespace

const char *const duplicateReason =
    "Isti proizvod (tarifni broj, naziv i kataloški broj) upisan je više puta";

const char *questionValue(ProductField field, std::string_view stored)
{
    for (const CheckRule &rule : rules) {
        if (rule.field == field && rule.questionable(stored))
            return rule.reason;
    }
    return nullptr;
}

Checks::Checks(Table &table)
    : m_table(table)
{
    m_table.addObserver(this);
    checkAll();
}

Checks::~Checks()
{
    m_table.removeObserver(this);
}

const char *Checks::warning(std::size_t row, std::size_t field) const
{
    if (row >= m_rows.size())
        return nullptr;
    const RowChecks &checks = m_rows[row];
    if (field == Name && isDuplicate(checks))
        return duplicateReason;
    const unsigned number = ruleNumber(checks.rules, field);
    return number ? rules[number - 1].reason : nullptr;
}

bool Checks::hasWarning(std::size_t row) const
{
    return row < m_rows.size() && (m_rows[row].rules != 0 || isDuplicate(m_rows[row]));
}

std::optional<std::size_t> Checks::nearestWarned(std::size_t row, bool forward) const
{
    const std::size_t n = m_rows.size();
    for (std::size_t step = 1; step <= n; ++step) {
        const std::size_t r = forward ? (row + step) % n : (row + n - step % n) % n;
        if (hasWarning(r))
            return r;
    }
    return std::nullopt;
}

void Checks::rowInserted(std::size_t row)
{
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), RowChecks{});
    // A begun record waits for its commit; one taken back or appended is committed already.
    if (!m_table.isBegunRow(row))
        recheck(row);
}

void Checks::rowRemoved(std::size_t row)
{
    const RowChecks gone = m_rows[row];
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
    if (gone.rules != 0 || gone.group) {
        count(gone, -1);
        ++m_revision;
    }
}

void Checks::stateChanged()
{
    // Back in Browse is where a commit ends; the other ways there change no stored value.
    if (m_table.state() == TableState::Browse && m_table.rowCount() > 0)
        recheck(m_table.currentRow());
}

void Checks::valueChanged(std::size_t row, std::size_t)
{
    // In Browse a stored value changes only when a step is taken back or redone.
    if (m_table.state() == TableState::Browse)
        recheck(row);
}

void Checks::reset()
{
    checkAll();
}

bool Checks::checkFields(const Record &record, RowChecks &checks)
{
    std::array<std::string_view, ProductFieldCount> values;
    record.forEachValue([&](std::size_t field, std::string_view value) { values[field] = value; });
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const CheckRule &rule = rules[i];
        if (ruleNumber(checks.rules, rule.field) != 0 || !rule.questionable(values[rule.field]))
            continue;
        const std::uint64_t number = std::uint64_t(i + 1) << (ruleBits * rule.field);
        if (rule.wholeRecord) {
            checks.rules = number;
            break;
        }
        checks.rules |= number;
    }
    // A record without a name is dropped at the next save, so it never doubles a product.
    if (values[Name].empty())
        return false;
    for (char c : values[TariffNumber]) {
        if (c != ' ' && c != '.')
            m_keys += c;
    }
    m_keys += '\0';
    m_keys += values[Name];
    m_keys += '\0';
    m_keys += values[CatalogueNumber];
    return true;
}

std::uint64_t Checks::hashOf(std::size_t keyStart) const
{
    return std::hash<std::string_view>{}(std::string_view(m_keys).substr(keyStart));
}

void Checks::recheck(std::size_t row)
{
    const RowChecks old = m_rows[row];
    RowChecks now;
    const std::size_t keyStart = m_keys.size();
    if (checkFields(m_table.rows()[row], now)) {
        now.group = groupOf(keyStart, m_keys.size() - keyStart, hashOf(keyStart));
        if (m_groups[now.group - 1].keyStart != keyStart)
            m_keys.resize(keyStart); // a known key
    }
    // Counted before the old one goes, so that an unchanged key keeps its group.
    count(now, +1);
    count(old, -1);
    m_rows[row] = now;
    if (now.rules != old.rules || now.group != old.group)
        ++m_revision;
}

void Checks::checkAll()
{
    m_rows.clear();
    m_groups.clear();
    m_freeGroups.clear();
    m_keys.clear();
    m_slots.clear();
    m_usedSlots = 0;
    m_fieldWarned = 0;
    m_duplicateOnly = 0;
    ++m_revision;
    const std::vector<Record> &records = m_table.rows();
    m_rows.resize(records.size());
    resizeSlots(records.size());
    // Two passes: the rules and every key first, then the look-ups, each slot fetched a few
    // records ahead. A look-up is a cache miss, and waiting for each in turn would cost more
    // than all the rules together.
    struct Key {
        std::size_t start = 0, length = 0;
        std::uint64_t hash = 0;
    };
    std::vector<Key> keys(records.size());
    for (std::size_t row = 0; row < records.size(); ++row) {
        keys[row].start = m_keys.size();
        if (!m_table.isBegunRow(row) && checkFields(records[row], m_rows[row])) {
            keys[row].length = m_keys.size() - keys[row].start;
            keys[row].hash = hashOf(keys[row].start);
        }
    }
    constexpr std::size_t ahead = 8;
    for (std::size_t row = 0; row < records.size(); ++row) {
#if defined(__GNUC__)
        if (row + ahead < records.size())
            __builtin_prefetch(&m_slots[keys[row + ahead].hash & (m_slots.size() - 1)]);
#endif
        if (keys[row].length > 0)
            m_rows[row].group = groupOf(keys[row].start, keys[row].length, keys[row].hash);
        count(m_rows[row], +1);
    }
}

std::size_t Checks::duplicateOnly(const Group &group)
{
    return group.records > 1 ? group.records - group.withFieldWarnings : 0;
}

void Checks::count(const RowChecks &checks, int sign)
{
    const bool fieldWarned = checks.rules != 0;
    if (fieldWarned)
        m_fieldWarned += static_cast<std::size_t>(sign);
    if (!checks.group)
        return;
    Group &group = m_groups[checks.group - 1];
    m_duplicateOnly -= duplicateOnly(group);
    group.records += static_cast<std::uint32_t>(sign);
    if (fieldWarned)
        group.withFieldWarnings += static_cast<std::uint32_t>(sign);
    m_duplicateOnly += duplicateOnly(group);
    if (group.records == 0)
        dropGroup(checks.group - 1);
}

std::uint32_t Checks::groupOf(std::size_t keyStart, std::size_t keyLength, std::uint64_t hash)
{
    const std::string_view key = std::string_view(m_keys).substr(keyStart, keyLength);
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hash & mask;
    for (; m_slots[slot] != 0; slot = (slot + 1) & mask) {
        if (m_slots[slot] >> 32 != hash >> 32)
            continue;
        const auto index = static_cast<std::uint32_t>(m_slots[slot]) - 1;
        const Group &group = m_groups[index];
        if (group.hash == hash &&
            std::string_view(m_keys).substr(group.keyStart, group.keyLength) == key)
            return index + 1;
    }
    std::uint32_t index = 0;
    if (m_freeGroups.empty()) {
        index = static_cast<std::uint32_t>(m_groups.size());
        m_groups.emplace_back();
    } else {
        index = m_freeGroups.back();
        m_freeGroups.pop_back();
    }
    m_groups[index] = Group{hash, keyStart, keyLength, 0, 0};
    m_slots[slot] = (hash & 0xFFFFFFFF00000000u) | (index + 1);
    if (++m_usedSlots * 2 > m_slots.size())
        resizeSlots(m_usedSlots);
    return index + 1;
}

void Checks::dropGroup(std::uint32_t index)
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t hole = m_groups[index].hash & mask;
    while (static_cast<std::uint32_t>(m_slots[hole]) != index + 1)
        hole = (hole + 1) & mask;
    // Linear probing without tombstones: entries after the hole that may move back, do.
    for (std::size_t next = (hole + 1) & mask; m_slots[next] != 0; next = (next + 1) & mask) {
        const std::size_t home =
            m_groups[static_cast<std::uint32_t>(m_slots[next]) - 1].hash & mask;
        if (((next - home) & mask) >= ((next - hole) & mask)) {
            m_slots[hole] = m_slots[next];
            hole = next;
        }
    }
    m_slots[hole] = 0;
    --m_usedSlots;
    m_freeGroups.push_back(index);
    // The keys of dropped groups are garbage: start afresh once no group is left.
    if (m_usedSlots == 0) {
        m_groups.clear();
        m_freeGroups.clear();
        m_keys.clear();
    }
}

void Checks::resizeSlots(std::size_t groups)
{
    std::size_t size = 16;
    while (size < groups * 2 + 2)
        size *= 2;
    const std::vector<std::uint64_t> old = std::exchange(m_slots, std::vector<std::uint64_t>(size));
    for (const std::uint64_t entry : old) {
        if (entry == 0)
            continue;
        std::size_t slot = m_groups[static_cast<std::uint32_t>(entry) - 1].hash & (size - 1);
        while (m_slots[slot] != 0)
            slot = (slot + 1) & (size - 1);
        m_slots[slot] = entry;
    }
}

void moveToWarning(Table &table, const Checks &checks, bool forward)
{
    if (!table.isActive())
        return;
    // The record is ended first: its commit may be what makes another record a duplicate.
    const std::size_t rowsBefore = table.rowCount();
    table.endEdit();
    if (table.rowCount() == 0)
        return;
    std::size_t from = table.currentRow();
    // A dropped begun record stood before the record now current, which is still ahead.
    if (forward && table.rowCount() < rowsBefore)
        from = (from + table.rowCount() - 1) % table.rowCount();
    if (const std::optional<std::size_t> target = checks.nearestWarned(from, forward))
        table.moveTo(*target);
}

} // namespace data

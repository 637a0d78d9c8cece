#include "data/Checks.h"

#include "data/CurrencyCodes.h"
#include "data/NumberText.h"

#include <algorithm>
#include <array>

namespace data {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool isEmpty(std::string_view v)
{
    return v.empty();
}

// 8 digits (Combined Nomenclature) or 10 (TARIC); a space or dot between two digits is only
// the clerk's way of grouping them.
bool notTariffNumber(std::string_view v)
{
    std::size_t digits = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (isDigit(v[i])) {
            ++digits;
            continue;
        }
        const bool grouping = (v[i] == ' ' || v[i] == '.') && i > 0 && i + 1 < v.size() &&
                              isDigit(v[i - 1]) && isDigit(v[i + 1]);
        if (!grouping)
            return true;
    }
    return digits != 8 && digits != 10;
}

bool notAtcGroup(std::string_view v)
{
    return !v.empty() && std::string_view("ABCDGHJLMNPRSV").find(v[0]) == std::string_view::npos;
}

// The five levels: A, A10, A10B, A10BA, A10BA02.
bool notAtcCode(std::string_view v)
{
    if (v.empty())
        return false;
    if (v.size() != 1 && v.size() != 3 && v.size() != 4 && v.size() != 5 && v.size() != 7)
        return true;
    static constexpr std::string_view shape = "LDDLLDD";
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (!(shape[i] == 'D' ? isDigit(v[i]) : isUpper(v[i])))
            return true;
    }
    return false;
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

bool isKuna(std::string_view v)
{
    return upper(v) == "HRK";
}

bool notUpperCaseCode(std::string_view v)
{
    return upper(v) != v && isCurrentCurrencyCode(upper(v));
}

bool notCurrencyCode(std::string_view v)
{
    return !isCurrentCurrencyCode(v);
}

bool notPositive(std::string_view v)
{
    const std::optional<double> n = storedNumberValue(v);
    return n && *n <= 0;
}

bool negative(std::string_view v)
{
    const std::optional<double> n = storedNumberValue(v);
    return n && *n < 0;
}

constexpr std::array rules = {
    CheckRule{Tar_br, isEmpty, "Tarifni broj nije upisan"},
    CheckRule{Tar_br, notTariffNumber, "Tarifni broj treba imati 8 ili 10 znamenaka"},
    CheckRule{ATK, notAtcGroup, "ATK ne počinje slovom skupine (A B C D G H J L M N P R S V)"},
    CheckRule{ATK, notAtcCode, "ATK nije u obliku A, A10, A10B, A10BA ili A10BA02"},
    CheckRule{Valuta, isEmpty, "Valuta nije upisana"},
    CheckRule{Valuta, isKuna, "Kunu (HRK) je 1. siječnja 2023. zamijenio euro (EUR)"},
    CheckRule{Valuta, notUpperCaseCode, "Oznaka valute piše se velikim slovima"},
    CheckRule{Valuta, notCurrencyCode, "Valuta nije važeća oznaka prema ISO 4217"},
    CheckRule{Kolicina, isEmpty, "Količina nije upisana"},
    CheckRule{Kolicina, notPositive, "Količina mora biti veća od nule"},
    CheckRule{Cijena, isEmpty, "Cijena nije upisana"},
    CheckRule{Cijena, negative, "Cijena je negativna"},
};

// A rule's number takes four bits per field.
static_assert(rules.size() < 16 && ProductFieldCount * 4 <= 64);

unsigned ruleNumber(std::uint64_t rules, std::size_t field)
{
    return static_cast<unsigned>(rules >> (4 * field)) & 0xFu;
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
    if (field == Naziv && isDuplicate(checks))
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
    // A begun record: nothing to check until it is committed.
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(row), RowChecks{});
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

void Checks::reset()
{
    checkAll();
}

Checks::RowChecks Checks::checkRecord(const Record &record)
{
    std::array<std::string_view, ProductFieldCount> values;
    record.forEachValue([&](std::size_t field, std::string_view value) { values[field] = value; });
    RowChecks checks;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const CheckRule &rule = rules[i];
        if (ruleNumber(checks.rules, rule.field) == 0 && rule.questionable(values[rule.field]))
            checks.rules |= std::uint64_t(i + 1) << (4 * rule.field);
    }
    // A record without a name is dropped at the next save, so it never doubles a product.
    if (values[Naziv].empty())
        return checks;
    m_key.clear();
    for (char c : values[Tar_br]) {
        if (c != ' ' && c != '.')
            m_key += c;
    }
    m_key += '\0';
    m_key += values[Naziv];
    m_key += '\0';
    m_key += values[Gen_ime];
    checks.group = &*m_groups.try_emplace(m_key).first;
    return checks;
}

void Checks::recheck(std::size_t row)
{
    const RowChecks old = m_rows[row];
    const RowChecks now = checkRecord(m_table.rows()[row]);
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
    m_fieldWarned = 0;
    m_duplicateOnly = 0;
    ++m_revision;
    const std::vector<Record> &records = m_table.rows();
    m_rows.resize(records.size());
    m_groups.reserve(records.size());
    for (std::size_t row = 0; row < records.size(); ++row) {
        if (m_table.isBegunRow(row))
            continue;
        m_rows[row] = checkRecord(records[row]);
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
    Group &group = checks.group->second;
    m_duplicateOnly -= duplicateOnly(group);
    group.records += static_cast<std::uint32_t>(sign);
    if (fieldWarned)
        group.withFieldWarnings += static_cast<std::uint32_t>(sign);
    m_duplicateOnly += duplicateOnly(group);
    if (group.records == 0)
        m_groups.erase(m_groups.find(checks.group->first));
}

void moveToWarning(Table &table, const Checks &checks, bool forward)
{
    if (!table.isActive())
        return;
    // The record is ended first: its commit may be what makes another record a duplicate.
    const std::size_t rowsBefore = table.rowCount();
    table.checkBrowseMode();
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

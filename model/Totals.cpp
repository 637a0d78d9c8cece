#include "model/Totals.h"

#include "model/NumberText.h"
#include "model/ProductSchema.h"

#include <algorithm>
#include <map>
#include <optional>

namespace data {

namespace {

// A decimal number: the digits (least significant first) times ten to the power of -scale.
struct Decimal {
    bool negative = false;
    std::vector<unsigned char> digits;
    std::size_t scale = 0;
};

// Nothing for an empty or unreadable value. The stored text is read as its double first, so
// whatever form a file gave it, the digits are the ones the window shows.
std::optional<Decimal> decimalOf(std::string_view stored)
{
    const std::optional<double> value = storedNumberValue(stored);
    if (!value)
        return std::nullopt;
    const std::string text = storedNumberText(*value);
    Decimal d;
    for (auto it = text.rbegin(); it != text.rend(); ++it) {
        if (*it == '-')
            d.negative = true;
        else if (*it == '.')
            d.scale = d.digits.size();
        else
            d.digits.push_back(static_cast<unsigned char>(*it - '0'));
    }
    return d;
}

void trim(Decimal &d)
{
    while (d.digits.size() > d.scale + 1 && d.digits.back() == 0)
        d.digits.pop_back();
}

Decimal product(const Decimal &a, const Decimal &b)
{
    // A double has at most 767 significant digits: no position can overflow.
    std::vector<unsigned> wide(a.digits.size() + b.digits.size() + 1, 0);
    for (std::size_t i = 0; i < a.digits.size(); ++i) {
        for (std::size_t j = 0; j < b.digits.size(); ++j)
            wide[i + j] += unsigned{a.digits[i]} * b.digits[j];
    }
    Decimal p;
    p.negative = a.negative != b.negative;
    p.scale = a.scale + b.scale;
    unsigned carry = 0;
    for (unsigned w : wide) {
        w += carry;
        p.digits.push_back(static_cast<unsigned char>(w % 10));
        carry = w / 10;
    }
    trim(p);
    return p;
}

void scaleTo(Decimal &d, std::size_t scale)
{
    d.digits.insert(d.digits.begin(), scale - d.scale, 0);
    d.scale = scale;
}

// Compares magnitudes of two numbers of the same scale.
int compareMagnitude(const Decimal &a, const Decimal &b)
{
    if (a.digits.size() != b.digits.size())
        return a.digits.size() < b.digits.size() ? -1 : 1;
    for (std::size_t i = a.digits.size(); i-- > 0;) {
        if (a.digits[i] != b.digits[i])
            return a.digits[i] < b.digits[i] ? -1 : 1;
    }
    return 0;
}

void addTo(Decimal &sum, Decimal x)
{
    const std::size_t scale = std::max(sum.scale, x.scale);
    scaleTo(sum, scale);
    scaleTo(x, scale);
    trim(sum);
    trim(x);
    if (sum.negative != x.negative && compareMagnitude(sum, x) < 0)
        std::swap(sum, x);
    const bool subtract = sum.negative != x.negative;
    sum.digits.resize(std::max(sum.digits.size(), x.digits.size()) + 1, 0);
    int carry = 0;
    for (std::size_t i = 0; i < sum.digits.size(); ++i) {
        int v =
            sum.digits[i] + carry + (subtract ? -1 : 1) * (i < x.digits.size() ? x.digits[i] : 0);
        carry = v < 0 ? -1 : v / 10;
        v -= carry * 10;
        sum.digits[i] = static_cast<unsigned char>(v);
    }
    trim(sum);
}

constexpr std::size_t centScale = 2;

// Rounded half away from zero to whole cents.
Decimal roundedToCents(Decimal d)
{
    if (d.scale < centScale) {
        scaleTo(d, centScale);
    } else if (d.scale > centScale) {
        const std::size_t dropped = d.scale - centScale;
        const bool up = d.digits[dropped - 1] >= 5; // a number keeps its scale's digits
        d.digits.erase(d.digits.begin(), d.digits.begin() + static_cast<std::ptrdiff_t>(dropped));
        d.scale = centScale;
        if (up) {
            Decimal cent;
            cent.negative = d.negative;
            cent.digits = {1};
            cent.scale = centScale;
            addTo(d, cent);
        }
    }
    return d;
}

// Whole cents the Croatian way: thousands grouped by dots, a decimal comma: "-1.234,50".
std::string moneyText(Decimal cents)
{
    cents.digits.resize(std::max(cents.digits.size(), centScale + 1), 0);
    trim(cents);
    std::string text;
    if (cents.negative && std::ranges::any_of(cents.digits, [](unsigned char c) { return c != 0; }))
        text += '-';
    for (std::size_t i = cents.digits.size(); i-- > 0;) {
        text += static_cast<char>('0' + cents.digits[i]);
        if (i == centScale)
            text += ',';
        else if (i > centScale && (i - centScale) % 3 == 0)
            text += '.';
    }
    return text;
}

std::string currencyKey(std::string_view currency)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!currency.empty() && isSpace(currency.front()))
        currency.remove_prefix(1);
    while (!currency.empty() && isSpace(currency.back()))
        currency.remove_suffix(1);
    std::string key(currency);
    for (char &c : key) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

} // namespace

struct TotalsBuilder::Sums {
    std::map<std::string, Decimal> byCurrency;
};

TotalsBuilder::TotalsBuilder()
    : m_sums(std::make_unique<Sums>())
{
}

TotalsBuilder::~TotalsBuilder() = default;

std::string TotalsBuilder::add(std::string_view currency, std::string_view quantity,
                               std::string_view price)
{
    ++m_records;
    const std::optional<Decimal> q = decimalOf(quantity);
    const std::optional<Decimal> p = decimalOf(price);
    if (!q || !p) {
        ++m_withoutAmount;
        return {};
    }
    Decimal amount = roundedToCents(product(*q, *p));
    addTo(m_sums->byCurrency[currencyKey(currency)], amount);
    return moneyText(std::move(amount));
}

Totals TotalsBuilder::result() const
{
    Totals totals;
    totals.withoutAmount = m_withoutAmount;
    totals.records = m_records;
    for (const auto &[currency, sum] : m_sums->byCurrency) {
        if (!currency.empty())
            totals.currencies.push_back({currency, moneyText(sum)});
    }
    if (auto none = m_sums->byCurrency.find(std::string()); none != m_sums->byCurrency.end())
        totals.currencies.push_back({std::string(), moneyText(none->second)});
    return totals;
}

} // namespace data

#include "data/Error.h"
#include "data/NumberText.h"

#include <QtTest>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Values whose text forms the tests check both ways.
struct Sample {
    double value;
    const char *stored;
};
constexpr Sample samples[] = {
    {12.5, "12.5"},
    {1000, "1000"},
    {0.1, "0.1"},
    {-3.25, "-3.25"},
    {1e15, "1000000000000000"},
    {1e-7, "0.0000001"},
    {0.1 + 0.2, "0.30000000000000004"},
    {123456789.123, "123456789.123"},
};

} // namespace

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void textForms_data();
    void textForms();
    void extremes();
    void typed_data();
    void typed();
    void refused_data();
    void refused();
    void fileNumbers();
    void commaLocale();

private:
    bool useCommaLocale();
    QTemporaryDir m_localeDir;
};

void TestNumberText::textForms_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("stored");
    for (const Sample &s : samples)
        QTest::newRow(s.stored) << s.value << QString::fromLatin1(s.stored);
}

void TestNumberText::textForms()
{
    QFETCH(double, value);
    QFETCH(QString, stored);
    const std::string storedText = data::storedNumberText(value);
    QCOMPARE(text(storedText), stored);
    QCOMPARE(text(data::displayNumberText(storedText)), QString(stored).replace(u'.', u','));
    QCOMPARE(data::storedNumberValue(storedText), std::optional<double>(value));
}

void TestNumberText::extremes()
{
    // Fixed notation of the largest and the smallest doubles still reads back exactly.
    for (double v : {std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
                     std::numeric_limits<double>::denorm_min()}) {
        const std::string s = data::storedNumberText(v);
        QVERIFY(s.find('e') == std::string::npos);
        QCOMPARE(data::storedNumberValue(s), std::optional<double>(v));
    }
    QCOMPARE(text(data::storedNumberText(-0.0)), QStringLiteral("0"));
    QVERIFY(data::storedNumberText(std::numeric_limits<double>::quiet_NaN()).empty());
    QVERIFY(!data::storedNumberValue(""));
}

void TestNumberText::typed_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("value"); // NaN: empty field

    const double none = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("comma") << QStringLiteral("12,5") << 12.5;
    QTest::newRow("dot") << QStringLiteral("12.5") << 12.5;
    QTest::newRow("spaces around") << QStringLiteral("  -3,25 ") << -3.25;
    QTest::newRow("plus") << QStringLiteral("+7") << 7.0;
    QTest::newRow("no integer part") << QStringLiteral(",5") << 0.5;
    QTest::newRow("no fraction digits") << QStringLiteral("12,") << 12.0;
    QTest::newRow("many digits") << QStringLiteral("1000000000000000") << 1e15;
    QTest::newRow("empty") << QString() << none;
    QTest::newRow("only spaces") << QStringLiteral("   ") << none;
}

void TestNumberText::typed()
{
    QFETCH(QString, typed);
    QFETCH(double, value);
    const std::optional<double> parsed = data::parseTypedNumber(typed.toStdString());
    if (std::isnan(value))
        QVERIFY(!parsed);
    else
        QCOMPARE(parsed, std::optional<double>(value));
}

void TestNumberText::refused_data()
{
    QTest::addColumn<QString>("typed");
    for (const char *t : {"abc", "1.000,5", "1,2,3", "1e5", "inf", "nan", "1 000", "--1", "-", ",",
                          "12a", "0x10", " 5 kg"})
        QTest::newRow(t) << QString::fromLatin1(t);
    QTest::newRow("too large") << QStringLiteral("1") + QString(400, u'0');
}

void TestNumberText::refused()
{
    QFETCH(QString, typed);
    try {
        data::parseTypedNumber(typed.toStdString());
        QFAIL("accepted");
    } catch (const data::Error &e) {
        // The text as typed, spaces included.
        QCOMPARE(QString::fromUtf8(e.what()),
                 u'\'' + typed + QStringLiteral("' nije ispravan broj."));
    }
}

void TestNumberText::fileNumbers()
{
    QCOMPARE(data::parseFileNumber("1E15"), std::optional<double>(1e15));
    QCOMPARE(data::parseFileNumber("2.5e-3"), std::optional<double>(0.0025));
    QCOMPARE(data::parseFileNumber("-12.5"), std::optional<double>(-12.5));
    for (const char *bad : {"", "inf", "nan", "1e999", "12,5", "+1", " 1", "1 ", "x"})
        QVERIFY2(!data::parseFileNumber(bad), bad);
}

// Makes the C library use a decimal comma, as Qt does on a Croatian desktop. When no such locale
// is installed, one is built from the system's locale sources into a temporary folder.
bool TestNumberText::useCommaLocale()
{
    auto commaActive = [] { return std::strcmp(std::localeconv()->decimal_point, ",") == 0; };
    for (const char *name : {"hr_HR.UTF-8", "hr_HR.utf8", "de_DE.UTF-8", "de_DE.utf8"}) {
        if (std::setlocale(LC_ALL, name) && commaActive())
            return true;
    }
    if (!m_localeDir.isValid())
        return false;
    const QString target = m_localeDir.filePath(QStringLiteral("hr_HR.UTF-8"));
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {QStringLiteral("-i"), QStringLiteral("hr_HR"), QStringLiteral("-f"),
                     QStringLiteral("UTF-8"), target});
    if (!localedef.waitForFinished(60000) || !QFileInfo::exists(target))
        return false;
    qputenv("LOCPATH", QFile::encodeName(m_localeDir.path()));
    return std::setlocale(LC_ALL, "hr_HR.UTF-8") && commaActive();
}

void TestNumberText::commaLocale()
{
    if (!useCommaLocale())
        QSKIP("no locale with a decimal comma could be installed or built");
    // The C library itself now misreads a dot ...
    QCOMPARE(std::strtod("12.5", nullptr), 12.0);
    // ... and every conversion here still works.
    for (const Sample &s : samples) {
        QCOMPARE(text(data::storedNumberText(s.value)), QString::fromLatin1(s.stored));
        QCOMPARE(data::storedNumberValue(s.stored), std::optional<double>(s.value));
        QCOMPARE(data::parseFileNumber(s.stored), std::optional<double>(s.value));
        QCOMPARE(data::parseTypedNumber(data::displayNumberText(s.stored)),
                 std::optional<double>(s.value));
    }
    QCOMPARE(data::parseTypedNumber("12.5"), std::optional<double>(12.5));
    std::setlocale(LC_ALL, "C");
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "TestNumberText.moc"

#include "data/Error.h"
#include "data/NumberText.h"

#include <QtTest>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

using namespace Qt::StringLiterals;

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
    {-0.0, "0"},
};

} // namespace

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void textForms_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("stored");
        for (const Sample &s : samples)
            QTest::newRow(s.stored) << s.value << QString::fromLatin1(s.stored);
    }

    void textForms()
    {
        QFETCH(double, value);
        QFETCH(QString, stored);
        const std::string storedText = data::storedNumberText(value);
        QCOMPARE(text(storedText), stored);
        QCOMPARE(text(data::displayNumberText(storedText)), QString(stored).replace(u'.', u','));
        QCOMPARE(data::storedNumberValue(storedText), std::optional<double>(value));
    }

    void typed_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // empty for an empty field
        const std::pair<const char *, const char *> accepted[] = {
            {"12,5", "12.5"},
            {"12.5", "12.5"},
            {"  -3,25 ", "-3.25"},
            {"+7", "7"},
            {",5", "0.5"},
            {"12,", "12"},
            {"1000000000000000", "1000000000000000"},
            {"", ""},
            {"   ", ""}};
        for (const auto &[typed, stored] : accepted)
            QTest::newRow(typed) << QString::fromLatin1(typed) << QString::fromLatin1(stored);
        for (const char *t : {"abc", "1.000,5", "1,2,3", "1e5", "inf", "nan", "1 000", "--1", "-",
                              ",", "12a", "0x10", " 5 kg"})
            QTest::newRow(t) << QString::fromLatin1(t) << u"refused"_s;
        QTest::newRow("too large") << u"1"_s + QString(400, u'0') << u"refused"_s;
    }

    void typed()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        try {
            const std::optional<double> parsed = data::parseTypedNumber(typed.toStdString());
            QCOMPARE(parsed ? text(data::storedNumberText(*parsed)) : QString(), stored);
        } catch (const data::Error &e) {
            QCOMPARE(u"refused"_s, stored);
            // The text as typed, spaces included.
            QCOMPARE(QString::fromUtf8(e.what()), u'„' + typed + u"” nije ispravan broj."_s);
        }
    }

    void fileNumbers()
    {
        QCOMPARE(data::parseFileNumber("2.5e-3"), std::optional<double>(0.0025));
        for (const char *bad : {"", "inf", "nan", "1e999", "12,5", "+1", " 1", "1 ", "x"})
            QVERIFY2(!data::parseFileNumber(bad), bad);
    }

    void commaLocale()
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

private:
    // Makes the C library use a decimal comma, as Qt does on a Croatian desktop. When no such
    // locale is installed, one is built from the system's locale sources into a temporary folder.
    bool useCommaLocale()
    {
        auto comma = [] { return std::strcmp(std::localeconv()->decimal_point, ",") == 0; };
        if (std::setlocale(LC_ALL, "hr_HR.UTF-8") && comma())
            return true;
        QProcess::execute(u"localedef"_s, {u"-i"_s, u"hr_HR"_s, u"-f"_s, u"UTF-8"_s,
                                           m_localeDir.filePath(u"hr_HR.UTF-8"_s)});
        qputenv("LOCPATH", QFile::encodeName(m_localeDir.path()));
        return std::setlocale(LC_ALL, "hr_HR.UTF-8") && comma();
    }

    QTemporaryDir m_localeDir;
};

QTEST_GUILESS_MAIN(TestNumberText)
#include "TestNumberText.moc"

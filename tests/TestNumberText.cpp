#include "TestSupport.h"

#include "model/NumberText.h"
#include "platform/Error.h"

#include <QtTest>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

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

    // The one reader of typed and imported numbers, every source in one table: the stored
    // form of what is read, or the refusal.
    void reading_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("stored");  // empty for an empty field
        QTest::addColumn<QString>("problem"); // "*": refused, whatever the sentence
        const int typed = int(data::NumberSource::Typed);
        const int list = int(data::NumberSource::List);
        const int exported = int(data::NumberSource::Export);
        const auto read = [](int source, const char *stored, std::initializer_list<QString> texts) {
            for (const QString &text : texts)
                QTest::addRow("%d %s", source, qPrintable(text))
                    << text << source << QString::fromLatin1(stored) << QString();
        };
        const auto refused = [](int source, const QString &problem,
                                std::initializer_list<QString> texts) {
            for (const QString &text : texts)
                QTest::addRow("%d %s refused", source, qPrintable(text))
                    << text << source << QString() << problem;
        };
        const QString ambiguous = u"„%1” može biti %2 ili %3: upišite %2 ili %3."_s;
        read(typed, "12.5", {u"12,5"_s, u"12.5"_s});
        read(typed, "-3.25", {u"  -3,25 "_s});
        read(typed, "7", {u"+7"_s});
        read(typed, "0.5", {u",5"_s});
        read(typed, "12", {u"12,"_s});
        read(typed, "", {u""_s, u"   "_s});
        read(typed, "1.234", {u"1,234"_s});
        read(typed, "1234.5",
             {u"1.234,50"_s, u"1 234,50"_s, u"1\u00A0234,50"_s, u"1\u202F234,5"_s});
        read(typed, "1250000", {u"1.250.000"_s});
        read(typed, "1234", {u"1 234"_s});
        read(typed, "3.2", {u"3.20"_s});
        for (const char *same : {"1.5", "0.125", "1234.567", "1000000000000000"})
            read(typed, same, {QString::fromLatin1(same)});
        refused(typed, ambiguous.arg(u"1.250"_s, u"1250"_s, u"1,25"_s), {u"1.250"_s});
        refused(typed, ambiguous.arg(u"-3.200"_s, u"-3200"_s, u"-3,2"_s), {u"-3.200"_s});
        refused(typed, u"„abc” nije ispravan broj: upišite npr. 1234,5 ili 1.234,5."_s, {u"abc"_s});
        refused(typed, u"*"_s,
                {u"1,2,3"_s, u"1e5"_s, u"inf"_s, u"nan"_s, u"--1"_s, u"-"_s, u","_s, u"12a"_s,
                 u"0x10"_s, u" 5 kg"_s, u"1.23,4"_s, u"1,234.5"_s, u"12 34"_s,
                 u"1"_s + QString(400, u'0')});

        read(list, "1234.56",
             {u"1234,56"_s, u"1234.56"_s, u"1.234,56"_s, u"1,234.56"_s, u"1 234,56"_s,
              u"1\u00A0234,56"_s, u"1\u202F234.56"_s, u" +1234,560 "_s});
        read(list, "1234567", {u"1.234.567"_s});
        read(list, "-0.5", {u"-0,5"_s});
        read(list, "0.125", {u"0,125"_s});
        read(list, "1234.567", {u"1234,567"_s});
        read(list, "", {u"  "_s});
        refused(list, ambiguous.arg(u"1.250"_s, u"1250"_s, u"1,25"_s), {u"1.250"_s});
        refused(list, ambiguous.arg(u"1,250"_s, u"1250"_s, u"1,25"_s), {u"1,250"_s});
        refused(list, u"„x” nije broj: prima se npr. 1234,56, 1.234,56 ili 1 234,56."_s, {u"x"_s});
        refused(list, u"*"_s,
                {u"-12,345"_s, u"12 34"_s, u"1.23.456"_s, u"1.234,5.6"_s, u"1,234.567,8"_s,
                 u"12a"_s, u"1e5"_s, u"."_s, u"- 5"_s});

        read(exported, "1234.5", {u"1234,5"_s});
        read(exported, "-0.5", {u"-0,5"_s});
        read(exported, "1.234", {u"1.234"_s});
        refused(exported, u"*"_s, {u"1 234"_s, u"1.234,5"_s});
    }

    void reading()
    {
        QFETCH(QString, input);
        QFETCH(int, source);
        QFETCH(QString, stored);
        QFETCH(QString, problem);
        const data::NumberReading r =
            data::readNumber(input.toStdString(), data::NumberSource(source));
        if (problem.isEmpty()) {
            QCOMPARE(int(r.form), int(stored.isEmpty() ? data::NumberReading::Form::Empty
                                                       : data::NumberReading::Form::Number));
            QCOMPARE(stored.isEmpty() ? QString() : text(data::storedNumberText(r.value)), stored);
        } else {
            QVERIFY(r.form == data::NumberReading::Form::Ambiguous ||
                    r.form == data::NumberReading::Form::Invalid);
            if (problem != u"*")
                QCOMPARE(text(r.problem), problem);
            // One sentence that says what is taken.
            QVERIFY(r.problem.ends_with(".") && r.problem.find(": ") != std::string::npos);
        }
        // Typed text through the table's own door: the same value, or the same refusal.
        if (source == int(data::NumberSource::Typed)) {
            std::optional<double> parsed;
            QCOMPARE(errorOf([&] { parsed = data::parseTypedNumber(input.toStdString()); }),
                     text(r.problem));
            QCOMPARE(parsed.has_value(), !stored.isEmpty());
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

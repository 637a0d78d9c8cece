#include "data/Encoding.h"

#include <QtTest>

#include <string>

namespace {

std::string bytes(const QByteArray &a)
{
    return a.toStdString();
}

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

class TestEncoding : public QObject {
    Q_OBJECT

private slots:
    void utf8Validation_data();
    void utf8Validation();
    void windows1250();
    void controlCharacters_data();
    void controlCharacters();
};

void TestEncoding::utf8Validation_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("invalidAt"); // -1: valid

    QTest::newRow("ascii") << QByteArray("Tarifni broj 9018") << -1;
    QTest::newRow("croatian") << QByteArray("čćđšž ČĆĐŠŽ") << -1;
    QTest::newRow("four bytes") << QByteArray("x\xF0\x9F\x92\x8Ay") << -1;
    QTest::newRow("long ascii then bad") << QByteArray("0123456789abcdef\xFF") << 16;
    QTest::newRow("lone continuation") << QByteArray("ab\x80") << 2;
    QTest::newRow("overlong two") << QByteArray("\xC0\xAF") << 0;
    QTest::newRow("overlong three") << QByteArray("a\xE0\x80\xAF") << 1;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << 0;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << 0;
    QTest::newRow("cut at end") << QByteArray("ok\xC4") << 2;
    QTest::newRow("windows-1250 š") << QByteArray("Ko\x9A"
                                                  "ara")
                                    << 2;
}

void TestEncoding::utf8Validation()
{
    QFETCH(QByteArray, input);
    QFETCH(int, invalidAt);
    const std::string s = bytes(input);
    QCOMPARE(data::isValidUtf8(s), invalidAt < 0);
    const std::size_t at = data::invalidUtf8Offset(s);
    QCOMPARE(at == std::string_view::npos ? -1 : static_cast<int>(at), invalidAt);
}

void TestEncoding::windows1250()
{
    // č ć đ š ž and capitals, the euro sign, and an undefined byte.
    const std::string converted = data::windows1250ToUtf8(
        bytes(QByteArray("\xE8\xE6\xF0\x9A\x9E \xC8\xC6\xD0\x8A\x8E \x80 \x81")));
    QCOMPARE(text(converted), QStringLiteral(u"čćđšž ČĆĐŠŽ € \uFFFD"));
    QVERIFY(data::isValidUtf8(converted));
    QCOMPARE(text(data::windows1250ToUtf8("plain")), QStringLiteral("plain"));
}

void TestEncoding::controlCharacters_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("clean");

    QTest::newRow("clean") << QByteArray("Šećer, 5 kg") << QByteArray("Šećer, 5 kg");
    QTest::newRow("tab cr lf") << QByteArray("a\tb\r\nc") << QByteArray("a b  c");
    QTest::newRow("other C0 and DEL") << QByteArray("\x01x\x1Fy\x7F", 5) << QByteArray("xy");
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << QByteArray("ab");
    QTest::newRow("C1") << QByteArray("a\xC2\x85"
                                      "b\xC2\x9F")
                        << QByteArray("ab");
    QTest::newRow("U+FFFE and U+FFFF")
        << QByteArray("x\xEF\xBF\xBEy\xEF\xBF\xBF") << QByteArray("xy");
    QTest::newRow("U+FFFD stays") << QByteArray("x\xEF\xBF\xBD") << QByteArray("x\xEF\xBF\xBD");
    QTest::newRow("NBSP and degree stay") << QByteArray("5\xC2\xA0\xC2\xB0"
                                                        "C")
                                          << QByteArray("5\xC2\xA0\xC2\xB0"
                                                        "C");
}

void TestEncoding::controlCharacters()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, clean);
    const std::string s = bytes(input);
    QCOMPARE(QByteArray::fromStdString(data::sanitizeText(s)), clean);
    QCOMPARE(data::isCleanText(s), input == clean);
}

QTEST_GUILESS_MAIN(TestEncoding)
#include "TestEncoding.moc"

#include "app/CommandLine.h"
#include "app/Version.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
    void startsInFolder();
};

void TestCommandLine::answersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("error");

    const QString version = u"Kalvendor " KALVENDOR_VERSION "\n"_s;
    QTest::newRow("version") << QStringList{u"--version"_s} << 0 << version << QString();
    QTest::newRow("help") << QStringList{u"-h"_s} << 0 << u"Opcije:"_s << QString();
    QTest::newRow("help before a bad folder")
        << QStringList{u"--help"_s, u"/nema/te/mape"_s} << 0 << u"[MAPA]"_s << QString();
    QTest::newRow("missing folder")
        << QStringList{u"/nema/te/mape"_s} << 2 << QString() << u"„/nema/te/mape” ne postoji"_s;
    QTest::newRow("a file") << QStringList{QStringLiteral(KALVENDOR_BINARY)} << 2 << QString()
                            << u"nije mapa"_s;
    QTest::newRow("two folders") << QStringList{u"/"_s, u"/tmp"_s} << 2 << QString()
                                 << u"više od jedne mape"_s;
    QTest::newRow("unknown option")
        << QStringList{u"--nema"_s} << 2 << QString() << u"Nepoznata opcija 'nema'"_s;
}

// A platform plugin that does not exist: a window, or even a display connection, would abort.
void TestCommandLine::answersWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, error);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DISPLAY"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"nema-zaslona"_s);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(KALVENDOR_BINARY), arguments);
    QVERIFY(program.waitForFinished(60000));

    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    const QString printed = QString::fromUtf8(program.readAllStandardOutput());
    const QString complained = QString::fromUtf8(program.readAllStandardError());
    QVERIFY2(printed.contains(out), qPrintable(printed));
    if (error.isEmpty())
        QCOMPARE(complained, QString());
    else
        QVERIFY2(complained.startsWith(u"kalvendor: "_s) && complained.contains(error),
                 qPrintable(complained));
}

void TestCommandLine::startsInFolder()
{
    const QString before = QDir::currentPath();
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    char program[] = "kalvendor";
    QByteArray path = folder.path().toLocal8Bit();
    char *argv[] = {program, path.data(), nullptr};
    int argc = 2;

    QCOMPARE(processCommandLine(argc, argv), std::nullopt);
    QCOMPARE(QDir::current().canonicalPath(), QDir(folder.path()).canonicalPath());
    QDir::setCurrent(before);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"

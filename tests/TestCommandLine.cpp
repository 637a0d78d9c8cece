#include "app/CommandLine.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void answersWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text"); // on stdout when all is well, else on stderr
        QTest::newRow("help first") << QStringList{u"-h"_s, u"/nema"_s} << 0 << u"Opcije:"_s;
        QTest::newRow("no folder") << QStringList{u"/nema"_s} << 2 << u"„/nema” ne postoji"_s;
        QTest::newRow("a file") << QStringList{QStringLiteral(KALVENDOR_BINARY)} << 2
                                << u"nije mapa"_s;
        QTest::newRow("unknown") << QStringList{u"--nema"_s} << 2 << u"opcija 'nema'"_s;
    }

    // A platform plugin that does not exist: a window, or even a display connection, would abort.
    void answersWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, text);
        qunsetenv("DISPLAY");
        qputenv("QT_QPA_PLATFORM", "nema-zaslona");
        QProcess program;
        program.start(QStringLiteral(KALVENDOR_BINARY), arguments);
        QVERIFY(program.waitForFinished(60000) && program.exitStatus() == QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        const QString printed = QString::fromUtf8(status == 0 ? program.readAllStandardOutput()
                                                              : program.readAllStandardError());
        QVERIFY2(printed.contains(text), qPrintable(printed));
    }

    void startsInFolder()
    {
        QTemporaryDir folder;
        QByteArray path = folder.path().toLocal8Bit();
        char *argv[] = {path.data(), path.data(), nullptr};
        int argc = 2;
        QCOMPARE(processCommandLine(argc, argv), std::nullopt);
        QCOMPARE(QDir::currentPath(), QFileInfo(folder.path()).canonicalFilePath());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"

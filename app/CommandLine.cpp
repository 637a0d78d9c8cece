#include "app/CommandLine.h"

#include "app/Version.h"
#include "system/Console.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int usageError(const QString &error)
{
    os::writeText(stderr, u"kalvendor: "_s + error + u"\nUpute: kalvendor --help\n"_s);
    return 2;
}

// Qt's own texts (the help's headings, the parser's complaints) in Croatian. The translation needs
// an application object: a core one, so no display is needed.
class CroatianCore {
public:
    CroatianCore(int &argc, char *argv[])
        : m_core(argc, argv)
    {
        if (m_qtTranslator.load(QLocale(QLocale::Croatian, QLocale::Croatia), u"qtbase"_s, u"_"_s,
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&m_qtTranslator);
    }

private:
    QCoreApplication m_core;
    QTranslator m_qtTranslator;
};

// Makes the folder the working folder; what is wrong with it otherwise.
QString enterFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return u"Mapa „%1” ne postoji."_s.arg(folder);
    if (!info.isDir())
        return u"„%1” nije mapa."_s.arg(folder);
    if (!QDir::setCurrent(folder))
        return u"U mapu „%1” ne može se ući."_s.arg(folder);
    return {};
}

} // namespace

std::optional<int> processCommandLine(int &argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Popis medicinskih proizvoda za suglasnost za uvoz. Zapisi se čuvaju u datoteci "
        u"Baza.xml u radnoj mapi."_s);
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"Prikazuje ove upute."_s);
    const QCommandLineOption version({u"v"_s, u"version"_s}, u"Prikazuje inačicu programa."_s);
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(
        u"MAPA"_s, u"Mapa u kojoj program radi i čuva Baza.xml; bez nje trenutačna mapa."_s,
        u"[MAPA]"_s);

    if (!parser.parse(arguments)) {
        const CroatianCore core(argc, argv);
        parser.parse(arguments); // again, for the reason in Croatian
        return usageError(parser.errorText());
    }
    if (parser.isSet(help)) {
        const CroatianCore core(argc, argv);
        os::writeText(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        os::writeText(stdout, u"Kalvendor " KALVENDOR_VERSION "\n"_s);
        return 0;
    }

    const QStringList folders = parser.positionalArguments();
    if (folders.size() > 1)
        return usageError(u"Zadana je više od jedne mape."_s);
    if (!folders.isEmpty()) {
        if (const QString error = enterFolder(folders.first()); !error.isEmpty())
            return usageError(error);
    }
    return std::nullopt;
}

#include "data/AtomicFile.h"
#include "data/SystemReason.h"

#include <QtTest>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>

namespace fs = std::filesystem;

Q_DECLARE_METATYPE(data::WriteStep)

namespace {

std::string readBytes(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QStringList entries(const fs::path &folder)
{
    QStringList names;
    for (const fs::directory_entry &e : fs::directory_iterator(folder))
        names << QString::fromStdString(e.path().filename().string());
    names.sort();
    return names;
}

// Clears the test seam whatever way a test ends.
struct SeamGuard {
    ~SeamGuard() { data::setWriteFailureForTesting(std::nullopt); }
};

} // namespace

class TestAtomicFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void replacesAndKeepsPermissions();
    void injectedFailure_data();
    void injectedFailure();
    void missingFolder();
    void symlinkTargetReplaced();
    void systemReasons_data();
    void systemReasons();
    void exceptionMessages();
    void readsOnlyRegularFiles();

private:
    fs::path m_folder;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestAtomicFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = fs::path(m_dir->path().toStdString());
}

void TestAtomicFile::replacesAndKeepsPermissions()
{
    const fs::path file = m_folder / "Baza.xml";
    data::writeFileAtomically(file.string(), "prvi");
    QCOMPARE(readBytes(file), std::string("prvi"));

    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    data::writeFileAtomically(file.string(), "drugi, duži sadržaj");
    QCOMPARE(readBytes(file), std::string("drugi, duži sadržaj"));
    QCOMPARE(fs::status(file).permissions(),
             fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    QCOMPARE(entries(m_folder), QStringList{QStringLiteral("Baza.xml")});
    QCOMPARE(data::readWholeFile(file.string()), std::string("drugi, duži sadržaj"));
}

void TestAtomicFile::injectedFailure_data()
{
    QTest::addColumn<data::WriteStep>("step");
    QTest::addColumn<bool>("oldFileExists");
    for (bool exists : {true, false}) {
        const char *suffix = exists ? "" : ", no old file";
        QTest::addRow("open%s", suffix) << data::WriteStep::Open << exists;
        QTest::addRow("write%s", suffix) << data::WriteStep::Write << exists;
        QTest::addRow("flush%s", suffix) << data::WriteStep::Flush << exists;
        QTest::addRow("rename%s", suffix) << data::WriteStep::Rename << exists;
    }
}

void TestAtomicFile::injectedFailure()
{
    QFETCH(data::WriteStep, step);
    QFETCH(bool, oldFileExists);
    const fs::path file = m_folder / "Baza.xml";
    if (oldFileExists)
        data::writeFileAtomically(file.string(), "stari sadržaj");

    SeamGuard guard;
    data::setWriteFailureForTesting(step);
    try {
        data::writeFileAtomically(file.string(), std::string(100000, 'x'));
        QFAIL("the write succeeded");
    } catch (const data::WriteError &e) {
        QVERIFY(!e.reason().empty());
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("Datoteku \"%1\" nije moguće spremiti: %2")
                     .arg(QString::fromStdString(file.string()), QString::fromUtf8(e.reason())));
    }
    if (oldFileExists) {
        QCOMPARE(readBytes(file), std::string("stari sadržaj"));
        QCOMPARE(entries(m_folder), QStringList{QStringLiteral("Baza.xml")});
    } else {
        QCOMPARE(entries(m_folder), QStringList{});
    }

    // The next write, with the seam cleared, goes through.
    data::setWriteFailureForTesting(std::nullopt);
    data::writeFileAtomically(file.string(), "novi");
    QCOMPARE(readBytes(file), std::string("novi"));
}

void TestAtomicFile::missingFolder()
{
    // A real failure rather than an injected one: the folder is gone.
    const fs::path file = m_folder / "nema" / "Baza.xml";
    try {
        data::writeFileAtomically(file.string(), "x");
        QFAIL("wrote into a missing folder");
    } catch (const data::WriteError &e) {
        QCOMPARE(e.reason(), std::string("Nema takve datoteke ili direktorija"));
    }
    QVERIFY(!fs::exists(file.parent_path()));
}

void TestAtomicFile::symlinkTargetReplaced()
{
    fs::create_directory(m_folder / "podaci");
    const fs::path target = m_folder / "podaci" / "Baza.xml";
    const fs::path link = m_folder / "Baza.xml";
    data::writeFileAtomically(target.string(), "stari");
    fs::create_symlink(fs::path("podaci") / "Baza.xml", link);

    data::writeFileAtomically(link.string(), "novi");
    QVERIFY(fs::is_symlink(link));
    QCOMPARE(readBytes(target), std::string("novi"));
    QCOMPARE(entries(m_folder / "podaci"), QStringList{QStringLiteral("Baza.xml")});

    // A link to a file that does not exist yet creates that file.
    fs::remove(target);
    data::writeFileAtomically(link.string(), "opet");
    QVERIFY(fs::is_symlink(link));
    QCOMPARE(readBytes(target), std::string("opet"));
}

void TestAtomicFile::systemReasons_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("reason");
    QTest::newRow("EACCES") << EACCES << QStringLiteral("Pristup je odbijen");
    QTest::newRow("EROFS") << EROFS << QStringLiteral("Datotečni sustav je samo za čitanje");
    QTest::newRow("unknown") << 4321
                             << QStringLiteral("sustavska greška 4321: ") +
                                    QString::fromStdString(std::generic_category().message(4321));
}

void TestAtomicFile::systemReasons()
{
    QFETCH(int, number);
    QFETCH(QString, reason);
    QCOMPARE(QString::fromStdString(data::systemReason(number)), reason);
}

void TestAtomicFile::exceptionMessages()
{
    using data::exceptionMessage;
    QCOMPARE(QString::fromStdString(exceptionMessage(std::bad_alloc())),
             QStringLiteral("Nema dovoljno memorije"));
    QCOMPARE(QString::fromStdString(exceptionMessage(std::logic_error("x"))),
             QStringLiteral("Neočekivana greška: x"));
}

// A pipe without a writer would block a plain open for ever, a link to /dev/zero take all the
// memory there is.
void TestAtomicFile::readsOnlyRegularFiles()
{
    const fs::path pipe = m_folder / "pipe", folder = m_folder / "folder",
                   device = m_folder / "zero", large = m_folder / "large";
    QCOMPARE(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_directory(folder);
    fs::create_symlink("/dev/zero", device);
    std::ofstream(large).put('x');
    fs::resize_file(large, (1ull << 30) + 1); // sparse: costs no disk
    const std::string notAFile = "nije moguće pročitati: to nije obična datoteka";
    for (const auto &[file, reason] :
         {std::pair{pipe, notAFile}, std::pair{folder, notAFile}, std::pair{device, notAFile},
          std::pair{large, std::string("nije moguće pročitati: datoteka je prevelika (najviše "
                                       "1024 MB)")}}) {
        try {
            data::readWholeFile(file.string());
            QFAIL("read");
        } catch (const data::Error &e) {
            QVERIFY2(std::string_view(e.what()).ends_with(reason), e.what());
        }
    }
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "TestAtomicFile.moc"

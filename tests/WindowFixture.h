#pragma once

#include "app/ProductListWindow.h"
#include "format/DatabaseFile.h"
#include "gui/binding/InputGuard.h"
#include "gui/dialogs/Dialogs.h"
#include "gui/dialogs/ImportDialog.h"
#include "model/ProductSchema.h"
#include "system/RecoveryCopy.h"

#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// The real main window in a folder of its own (or `folder`, which outlives it), with every box
// answered by script and recovery copies in the test data folder.
class WindowFixture {
public:
    explicit WindowFixture(const QString &folder = {})
        : m_oldFolder(QDir::currentPath())
        , m_path(folder.isEmpty() ? m_folder.path() : folder)
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setApplicationName(QStringLiteral("Kalvendor"));
        // Settings of this test program's own, never the clerk's.
        static QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        gui::Dialogs::setScripted(true);
        QDir::setCurrent(m_path);
        qApp->installEventFilter(&m_guard);
    }

    ~WindowFixture()
    {
        form.reset();
        qApp->removeEventFilter(&m_guard);
        QDir::setCurrent(m_oldFolder);
        gui::Dialogs::setScripted(false);
        if (m_folder.path() == m_path) {
            for (const QString &copy : recoveryFiles())
                QFile::remove(copy);
        }
    }

    // The database as its recovery copies name it, by the SHA-1 of its path; its own copy.
    QString recoveryKey() const
    {
        return QString::fromLatin1(
            QCryptographicHash::hash(databasePath().toUtf8(), QCryptographicHash::Sha1).toHex());
    }
    QString recoveryCopyPath() const
    {
        return os::RecoveryCopy::folder() + QStringLiteral("/oporavak-%1.xml").arg(recoveryKey());
    }

    // Recovery copies of this folder's database, kept or set aside, oldest first.
    QStringList recoveryFiles() const
    {
        QStringList files;
        const QDir dir(os::RecoveryCopy::folder());
        for (const QFileInfo &f : dir.entryInfoList(QDir::Files, QDir::Time | QDir::Reversed)) {
            if (f.fileName().contains(recoveryKey()))
                files << f.filePath();
        }
        return files;
    }

    WindowFixture(const WindowFixture &) = delete;
    WindowFixture &operator=(const WindowFixture &) = delete;

    QString folder() const { return m_path; }
    QString databasePath() const { return QDir(m_path).filePath(QStringLiteral("Baza.xml")); }

    void writeDatabase(const QByteArray &bytes) const
    {
        QFile f(databasePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // A database file holding one record per entry of `rows`, each given as its ROW attributes.
    static QByteArray packet(const QStringList &rows)
    {
        std::string empty;
        data::appendDataPacket(empty, data::productSchema(), {});
        QByteArray xml = QByteArray::fromStdString(empty);
        for (const QString &row : rows)
            xml.insert(xml.lastIndexOf("  </ROWDATA>"), "<ROW " + row.toUtf8() + "/>\n");
        return xml;
    }

    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray readDatabase() const { return read(databasePath()); }

    // Writes a database of `rows` (see packet()) and starts the window on it.
    bool startWith(const QStringList &rows)
    {
        writeDatabase(packet(rows));
        return start();
    }

    // Constructs, creates and shows the window, and waits until it has the focus.
    bool start()
    {
        form = std::make_unique<ProductListWindow>();
        if (!form->start())
            return false;
        form->show();
        form->activateWindow();
        return QTest::qWaitForWindowActive(form.get());
    }

    template <typename T = QWidget> T *widget(const char *name) const
    {
        return form->findChild<T *>(QLatin1String(name));
    }
    QLineEdit *edit(data::ProductField f) const
    {
        return form->findChild<QLineEdit *>(QStringLiteral("edit") +
                                            QString::fromStdString(data::productSchema()[f].name));
    }
    QPushButton *button(const char *name) const { return widget<QPushButton>(name); }
    QString count() const { return widget<QLabel>("recordCount")->text(); }
    const data::Table &table() const { return form->table(); }
    QString value(data::ProductField f) const { return QString::fromStdString(table().text(f)); }
    QString valueAt(std::size_t row, data::ProductField f) const
    {
        return QString::fromStdString(table().text(row, f));
    }
    // A field's values in every row, joined by '|'.
    QString column(data::ProductField f) const
    {
        QStringList values;
        for (std::size_t row = 0; row < table().rowCount(); ++row)
            values << valueAt(row, f);
        return values.join(u'|');
    }

    // Key presses for every character of `text`; unlike QTest::keyClicks, any character.
    static void keys(QWidget *target, const QString &text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype n = text.at(i).isHighSurrogate() ? 2 : 1;
            const QString one = text.mid(i, n);
            i += n - 1;
            QTest::sendKeyEvent(QTest::Press, target, Qt::Key_unknown, one, Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, target, Qt::Key_unknown, one, Qt::NoModifier);
        }
    }

    // Types into a box the way a clerk does: a click into it, then the keys over its text.
    void type(data::ProductField f, const QString &text) const
    {
        QLineEdit *box = edit(f);
        box->setFocus(Qt::MouseFocusReason);
        box->selectAll();
        keys(box, text);
    }
    // A click as the window system delivers it, through the window.
    void clickAt(QWidget *target, QPoint at = {}) const
    {
        if (at.isNull())
            at = target->rect().center();
        QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, target->mapTo(form.get(), at));
    }
    void click(const char *buttonName) const { clickAt(button(buttonName)); }
    // Pastes `text` into the grid; `script` plays the clerk in the import dialog, if one opens.
    void pasteIntoGrid(
        const QString &text, std::function<void(gui::ImportDialog &)> script =
                                 [](gui::ImportDialog &d) { d.accept(); }) const
    {
        QGuiApplication::clipboard()->setText(text);
        gui::ImportDialog::setScript(std::move(script));
        QWidget *grid = widget("recordGrid");
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_V, Qt::ControlModifier);
        gui::ImportDialog::setScript({});
    }
    void tab() const { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); }
    QWidget *focus() const { return QApplication::focusWidget(); }

    // The texts of boxes shown, joined for a readable comparison.
    static QString texts(const QList<gui::Dialogs::Shown> &shown)
    {
        QStringList t;
        for (const auto &s : shown)
            t << s.text;
        return t.join(QStringLiteral(" | "));
    }

    // The error box of a number that cannot be read.
    static QString refused(const QString &typed)
    {
        return QStringLiteral("„%1” nije ispravan broj: upišite npr. 1234,5 ili 1.234,5.")
            .arg(typed);
    }

    // The boxes a handler queued for the event loop.
    QList<gui::Dialogs::Shown> shownAfterEvents() const
    {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return gui::Dialogs::takeShown();
    }

    std::unique_ptr<ProductListWindow> form;

private:
    QString m_oldFolder;
    QTemporaryDir m_folder;
    QString m_path;
    gui::InputGuard m_guard;
};

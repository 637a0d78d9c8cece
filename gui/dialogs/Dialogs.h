#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class QPrinter;
class QWidget;

namespace gui {

// The caption of every warning and question that may lose or keep the clerk's work.
inline QString warningCaption()
{
    return QStringLiteral("Pažnja!");
}

// Every box and dialog the program shows goes through here. The program gets the real Qt
// dialogs; a test scripts the answers in advance and reads back what would have been shown.
class Dialogs {
public:
    enum class Kind { Message, Question, Error, SaveFile, OpenFile, OpenFolder, PrintPreview };

    struct Shown {
        Kind kind;
        QString text;
        QString title;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };

    // The title of a box that has no caption of its own.
    static QString defaultTitle();

    // Modal box with an OK button and no icon; no caption gives the default title.
    static void message(QWidget *parent, const QString &text,
                        const std::optional<QString> &caption = std::nullopt);
    // Modal Yes/No box without icon, Yes the default unless `defaultNo`; true when Yes was
    // pressed.
    static bool question(QWidget *parent, const QString &text,
                         const std::optional<QString> &caption = std::nullopt,
                         bool defaultNo = false);
    // The standard exception box: stop icon, OK, the default title.
    static void error(QWidget *parent, const QString &text);
    // A file dialog for saving: `suggested` is the path offered first, `filter` a name filter
    // such as "Tekst (*.txt)". Asks before replacing an existing file. Returns the confirmed
    // file's full path, or an empty string when cancelled.
    static QString saveFileName(QWidget *parent, const QString &suggested, const QString &filter,
                                const QString &defaultSuffix);

    // A file dialog for opening an existing file that matches `filter`. Returns the file's full
    // path, or an empty string when cancelled.
    static QString openFileName(QWidget *parent, const QString &filter);
    // A dialog for choosing a folder, opened at `start`. Returns the folder's full path, or an
    // empty string when cancelled.
    static QString folderName(QWidget *parent, const QString &start);

    // Qt's print preview of what `paint` draws on `printer`, with its button to print, which
    // opens the printer dialog and paints again on the printer chosen. When `paint` returns
    // false, the preview closes.
    static void printPreview(QWidget *parent, QPrinter &printer,
                             const std::function<bool(QPrinter *)> &paint);

    // Test mode: boxes are not shown but recorded; questions take the next scripted answer
    // (bool), save, open and folder dialogs the next scripted path (QString, empty to cancel), and
    // a print preview prints to the next scripted path as a PDF file (empty: closed without
    // printing). Without a scripted answer a question answers No and a save dialog is cancelled.
    static void setScripted(bool scripted);
    static void addAnswer(const QVariant &answer);
    static QList<Shown> takeShown();
    static int pendingAnswers();
    // Test mode: `look` sees each box as it is recorded, while a real box would be on the screen
    // and serving events. setScripted() drops it.
    static void setWhileShown(std::function<void(const Shown &)> look);
};

} // namespace gui

#include "gui/dialogs/Dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QQueue>

namespace gui {

namespace {

struct Script {
    bool active = false;
    QQueue<QVariant> answers;
    QList<Dialogs::Shown> shown;
    std::function<void(const Dialogs::Shown &)> whileShown;
};

Script &script()
{
    static Script s;
    return s;
}

void record(const Dialogs::Shown &shown)
{
    script().shown.append(shown);
    if (script().whileShown)
        script().whileShown(shown);
}

QString titleOf(const std::optional<QString> &caption)
{
    return caption ? *caption : Dialogs::defaultTitle();
}

int execBox(QWidget *parent, QMessageBox::Icon icon, const QString &text, const QString &title,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    if (buttons.testFlag(QMessageBox::No))
        box.setEscapeButton(QMessageBox::No);
    return box.exec();
}

} // namespace

QString Dialogs::defaultTitle()
{
    return QStringLiteral("Kalvendor");
}

void Dialogs::message(QWidget *parent, const QString &text, const std::optional<QString> &caption)
{
    if (script().active) {
        record({Kind::Message, text, titleOf(caption), QMessageBox::Ok, QMessageBox::NoIcon});
        return;
    }
    execBox(parent, QMessageBox::NoIcon, text, titleOf(caption), QMessageBox::Ok, QMessageBox::Ok);
}

bool Dialogs::question(QWidget *parent, const QString &text, const std::optional<QString> &caption,
                       bool defaultNo)
{
    const auto buttons = QMessageBox::Yes | QMessageBox::No;
    const auto defaultButton = defaultNo ? QMessageBox::No : QMessageBox::Yes;
    if (script().active) {
        record(
            {Kind::Question, text, titleOf(caption), buttons, QMessageBox::NoIcon, defaultButton});
        return !script().answers.isEmpty() && script().answers.dequeue().toBool();
    }
    return execBox(parent, QMessageBox::NoIcon, text, titleOf(caption), buttons, defaultButton) ==
           QMessageBox::Yes;
}

void Dialogs::error(QWidget *parent, const QString &text)
{
    if (script().active) {
        record({Kind::Error, text, defaultTitle(), QMessageBox::Ok, QMessageBox::Critical});
        return;
    }
    execBox(parent, QMessageBox::Critical, text, defaultTitle(), QMessageBox::Ok, QMessageBox::Ok);
}

QString Dialogs::saveFileName(QWidget *parent, const QString &suggested, const QString &filter,
                              const QString &defaultSuffix)
{
    if (script().active) {
        record({Kind::SaveFile, suggested, filter, QMessageBox::NoButton, QMessageBox::NoIcon});
        return script().answers.isEmpty() ? QString() : script().answers.dequeue().toString();
    }
    QFileDialog dialog(parent);
    dialog.setOption(
        QFileDialog::DontUseNativeDialog); // applies the suffix before it asks to replace
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(defaultSuffix);
    const QFileInfo offered(suggested);
    dialog.setDirectory(offered.absolutePath());
    dialog.selectFile(offered.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
}

QString Dialogs::openFileName(QWidget *parent, const QString &filter)
{
    if (script().active) {
        record({Kind::OpenFile, {}, filter, QMessageBox::NoButton, QMessageBox::NoIcon});
        return script().answers.isEmpty() ? QString() : script().answers.dequeue().toString();
    }
    const QString file = QFileDialog::getOpenFileName(parent, {}, {}, filter, nullptr,
                                                      QFileDialog::DontUseNativeDialog);
    return file.isEmpty() ? file : QFileInfo(file).absoluteFilePath();
}

QString Dialogs::folderName(QWidget *parent, const QString &start)
{
    if (script().active) {
        record({Kind::OpenFolder, {}, start, QMessageBox::NoButton, QMessageBox::NoIcon});
        return script().answers.isEmpty() ? QString() : script().answers.dequeue().toString();
    }
    const QString folder = QFileDialog::getExistingDirectory(
        parent, QStringLiteral("Otvori popis"), start,
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    return folder.isEmpty() ? folder : QFileInfo(folder).absoluteFilePath();
}

void Dialogs::printPreview(QWidget *parent, QPrinter &printer,
                           const std::function<bool(QPrinter *)> &paint)
{
    if (script().active) {
        record({Kind::PrintPreview, {}, {}, QMessageBox::NoButton, QMessageBox::NoIcon});
        const QString file =
            script().answers.isEmpty() ? QString() : script().answers.dequeue().toString();
        if (!file.isEmpty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(file);
            paint(&printer);
        }
        return;
    }
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Pregled ispisa"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter *p) {
        if (!paint(p))
            QMetaObject::invokeMethod(&dialog, &QDialog::reject, Qt::QueuedConnection);
    });
    dialog.exec();
}

void Dialogs::setScripted(bool scripted)
{
    script() = Script{};
    script().active = scripted;
}

void Dialogs::addAnswer(const QVariant &answer)
{
    script().answers.enqueue(answer);
}

QList<Dialogs::Shown> Dialogs::takeShown()
{
    return std::exchange(script().shown, {});
}

int Dialogs::pendingAnswers()
{
    return static_cast<int>(script().answers.size());
}

void Dialogs::setWhileShown(std::function<void(const Shown &)> look)
{
    script().whileShown = std::move(look);
}

} // namespace gui

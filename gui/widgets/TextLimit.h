#pragma once

#include <QClipboard>
#include <QValidator>

class QLineEdit;

namespace gui {

// Limits a line edit to a number of code points (QLineEdit::maxLength counts UTF-16 units),
// and optionally turns every letter to upper case. An overlong value the program puts in (from
// an old file) is shown whole and may be shortened, but never lengthened.
//
// Typing stops at the limit. A paste or a drop that does not fit is cut to the limit and the
// clerk is told what was left out, in a note at the box; a tariff number that fits without its
// grouping spaces and dots goes in without them. The context menu, drops and the X11 selection
// are handled here; the box's own key handling calls paste() for Ctrl+V.
class TextLimit : public QValidator {
    Q_OBJECT

public:
    enum Option {
        UpperCase = 0x1,
        TariffNumber = 0x2,
    };
    Q_DECLARE_FLAGS(Options, Option)

    TextLimit(QLineEdit *edit, int maxCodePoints, Options options = {});

    // Call before the program sets `text` into the edit.
    void allowFor(const QString &text);
    State validate(QString &input, int &pos) const override;

    // Pastes the clipboard over the selection, as much of it as fits.
    void paste(QClipboard::Mode mode = QClipboard::Clipboard) const;

    static qsizetype codePoints(const QString &text);

signals:
    // A paste or drop was changed to fit; `note` says how, as the clerk reads it.
    void noted(const QString &note) const;

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    struct Fitted {
        QString text;
        QString note; // empty when `text` is what came
    };
    Fitted fit(QString text, qsizetype room) const;
    void insert(const Fitted &fitted) const;

    QLineEdit *m_edit;
    int m_max;
    mutable qsizetype m_allowed; // m_max, or the length of a shorter-lived overlong value
    Options m_options;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TextLimit::Options)

} // namespace gui

#pragma once

#include <QValidator>

class QLineEdit;

namespace platform {

// Limits a line edit to a number of code points (QLineEdit::maxLength counts UTF-16 units),
// and optionally turns every letter to upper case. An overlong value the program puts in (from
// an old file) is shown whole and may be shortened, but never lengthened.
class TextLimit : public QValidator {
    Q_OBJECT

public:
    TextLimit(QLineEdit *edit, int maxCodePoints, bool upperCase = false);

    // Call before the program sets `text` into the edit.
    void allowFor(const QString &text);
    State validate(QString &input, int &pos) const override;

    // Pastes as much of the clipboard as fits, as a length-limited box does, rather than
    // refusing a paste that is too long as a whole.
    void pasteFitting(QLineEdit *edit) const;

    static qsizetype codePoints(const QString &text);

private:
    int m_max;
    mutable qsizetype m_allowed; // m_max, or the length of a shorter-lived overlong value
    bool m_upperCase;
};

} // namespace platform

#pragma once

#include <QValidator>

class QLineEdit;

namespace platform {

// Limits a line edit to a number of code points (QLineEdit::maxLength counts UTF-16 units),
// and optionally turns every letter to upper case. An overlong value that came from a file
// may be shortened but never lengthened.
class TextLimit : public QValidator {
    Q_OBJECT

public:
    TextLimit(QLineEdit *edit, int maxCodePoints, bool upperCase = false);

    State validate(QString &input, int &pos) const override;

    static qsizetype codePoints(const QString &text);

private:
    QLineEdit *m_edit;
    qsizetype m_current = 0; // code points of the text before the change being validated
    int m_max;
    bool m_upperCase;
};

} // namespace platform

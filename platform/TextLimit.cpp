#include "platform/TextLimit.h"

#include <QLineEdit>

namespace platform {

TextLimit::TextLimit(QLineEdit *edit, int maxCodePoints, bool upperCase)
    : QValidator(edit)
    , m_edit(edit)
    , m_max(maxCodePoints)
    , m_upperCase(upperCase)
{
}

qsizetype TextLimit::codePoints(const QString &text)
{
    qsizetype n = 0;
    for (QChar c : text) {
        if (!c.isLowSurrogate())
            ++n;
    }
    return n;
}

QValidator::State TextLimit::validate(QString &input, int &pos) const
{
    if (m_upperCase) {
        const QString upper = input.toUpper();
        if (upper.size() != input.size()) // a letter such as ß became two
            pos = static_cast<int>(upper.size());
        input = upper;
    }
    if (m_max <= 0)
        return Acceptable;
    const qsizetype n = codePoints(input);
    if (n <= m_max || n <= m_current)
        return Acceptable;
    return Invalid;
}

} // namespace platform

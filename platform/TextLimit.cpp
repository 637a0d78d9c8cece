#include "platform/TextLimit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

#include <algorithm>

namespace platform {

TextLimit::TextLimit(QLineEdit *edit, int maxCodePoints, bool upperCase)
    : QValidator(edit)
    , m_max(maxCodePoints)
    , m_allowed(std::max<qsizetype>(maxCodePoints, codePoints(edit->text())))
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

void TextLimit::pasteFitting(QLineEdit *edit) const
{
    QString pasted = QGuiApplication::clipboard()->text();
    if (m_max > 0) {
        const qsizetype room =
            m_allowed - codePoints(edit->text()) + codePoints(edit->selectedText());
        qsizetype units = 0;
        for (qsizetype taken = 0; units < pasted.size() && taken < room; ++taken)
            units += pasted.at(units).isHighSurrogate() ? 2 : 1;
        pasted.truncate(units);
    }
    edit->insert(pasted);
}

void TextLimit::allowFor(const QString &text)
{
    m_allowed = std::max<qsizetype>(m_max, codePoints(text));
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
    if (n > m_allowed)
        return Invalid;
    m_allowed = std::max<qsizetype>(m_max, n); // what was shortened stays short
    return Acceptable;
}

} // namespace platform

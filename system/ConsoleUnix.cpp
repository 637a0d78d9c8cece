#include "system/Console.h"

namespace os {

void writeText(std::FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
}

} // namespace os

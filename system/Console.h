#pragma once

#include <QString>

#include <cstdio>

namespace os {

// Writes text to standard output or error so that Croatian letters survive: UTF-8 to a pipe or
// a file, and on a Windows console the console's own wide characters, whatever its code page.
void writeText(std::FILE *stream, const QString &text);

} // namespace os

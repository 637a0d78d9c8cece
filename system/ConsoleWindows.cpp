#include "system/Console.h"

#include <fcntl.h>
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace os {

void writeText(std::FILE *stream, const QString &text)
{
    std::fflush(stream);
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        ::WriteConsoleW(handle, reinterpret_cast<const wchar_t *>(text.utf16()),
                        static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // Bytes as they are, without the C library's line-end translation: as on every system.
    ::_setmode(::_fileno(stream), _O_BINARY);
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

} // namespace os

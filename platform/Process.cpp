#include "platform/Process.h"

#include "platform/NativeFile.h"

namespace data {

std::string computerName()
{
    std::string name = native::hostName();
    for (char &c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!plain)
            c = '_';
    }
    return name.empty() ? std::string("nepoznato") : name;
}

} // namespace data

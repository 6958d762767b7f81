// The system's own text for a Win32 error number.
#include "portable/ErrorText.h"

#include <cstdio>

std::string GetErrorText(DWORD dwError)
{
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        dwError, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr)
    {
        text.assign(buffer, length);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
    }
    if (buffer != nullptr)
        LocalFree(buffer);
    if (text.empty())
    {
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "Error %lu.", static_cast<unsigned long>(dwError));
        text = fallback;
    }
    return text;
}

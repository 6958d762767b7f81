// The system's own text for a Win32 error number.
#include "portable/ErrorText.h"

#include <cstdio>

std::string SystemMessageText(DWORD dwError)
{
    // In UTF-8 whatever the language of the system's texts.
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    std::string text;
    if (SystemUsesCodePage())
    {
        char* buffer = nullptr;
        const DWORD length =
            FormatMessageA(flags, nullptr, dwError, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
        if (length != 0 && buffer != nullptr)
            text = FromCodePage(buffer, length);
        LocalFree(buffer);
    }
    else
    {
        wchar_t* buffer = nullptr;
        const DWORD length =
            FormatMessageW(flags, nullptr, dwError, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
        if (length != 0 && buffer != nullptr)
            text = Narrow(buffer, length);
        LocalFree(buffer);
    }
    return text;
}

std::string GetErrorText(DWORD dwError)
{
    std::string text = SystemMessageText(dwError);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
    {
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "Error %lu.", static_cast<unsigned long>(dwError));
        text = fallback;
    }
    return text;
}

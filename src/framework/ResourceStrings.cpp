#include "framework/ResourceStrings.h"

#include "framework/WinApp.h"

std::string LoadResString(UINT id)
{
    if (id == 0)
        return {};
    char buffer[256];
    const int length = ::LoadStringA(CWinAppBase::ResourceInstance(), id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

#include "framework/ResourceStrings.h"

#include "framework/SystemCalls.h"
#include "framework/WinApp.h"

std::string LoadResString(UINT id)
{
    if (id == 0)
        return {};
    return LoadStringU(CWinAppBase::ResourceInstance(), id);
}

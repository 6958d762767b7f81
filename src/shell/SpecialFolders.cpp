// The shell's special folders that hold the shortcuts: the all-users folders
// on the NT family, the user's own on Windows 9x, which has no all-users
// folders of its own.
#include "shell/Shortcuts.h"

#include <windows.h>

#include <shlobj.h>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "framework/SystemCalls.h"

namespace
{
struct FolderMapping
{
    int common;
    int perUser;
};
constexpr FolderMapping COMMON_TO_PER_USER[] = {
    {CSIDL_COMMON_STARTMENU, CSIDL_STARTMENU},
    {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS},
    {CSIDL_COMMON_STARTUP, CSIDL_STARTUP},
    {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY},
};
} // namespace

int MapCommonFolder(int folder)
{
    for (const FolderMapping& mapping : COMMON_TO_PER_USER)
    {
        if (mapping.common == folder)
            return mapping.perUser;
    }
    return folder;
}

std::string GetSpecialFolderPath(CSetupContext& context, int folder)
{
    const int requested = context.IsNT() ? folder : MapCommonFolder(folder);

    unique_com<IMalloc> allocator;
    if (SUCCEEDED(::SHGetMalloc(allocator.put())))
    {
        LPITEMIDLIST items = nullptr;
        if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, requested, &items)))
        {
            std::string path;
            const bool found = GetPathFromIDListU(items, path);
            // Freeing the item list keeps the last error of the path query.
            const DWORD error = ::GetLastError();
            allocator.get()->Free(items);
            ::SetLastError(error);
            if (found)
                return path;
        }
    }
    context.ShowMessage(GetLastErrorText(), MB_OK);
    return std::string();
}

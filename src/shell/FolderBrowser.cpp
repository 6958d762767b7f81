#include "shell/FolderBrowser.h"

std::string BrowseForFolder(HWND owner, const std::string& title, UINT flags, LPCITEMIDLIST root)
{
    char displayName[MAX_PATH] = "";
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pidlRoot = root;
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = flags;
    LPITEMIDLIST chosen = ::SHBrowseForFolderA(&info);
    if (!chosen)
        return std::string();

    char path[MAX_PATH] = "";
    const bool converted = ::SHGetPathFromIDListA(chosen, path) != FALSE;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator)
    {
        allocator->Free(chosen);
        allocator->Release();
    }
    return converted ? std::string(path) : std::string();
}

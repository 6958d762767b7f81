#include "ToolPlatform.h"

#include <algorithm>
#include <cstdio>

#include <io.h>
#include <shellapi.h>

#include <cwchar>

#include "portable/ScopedFile.h"

const char kNativeSeparator = '\\';

namespace
{
struct FindCloser
{
    HANDLE h;
    ~FindCloser()
    {
        if (h != INVALID_HANDLE_VALUE)
            FindClose(h);
    }
};

bool ListFolder(const std::string& root, const std::string& relative, std::vector<TreeItem>& items,
                std::string& failedPath)
{
    const std::string folder = relative.empty() ? root : root + "\\" + relative;
    FindDataU data;
    FindCloser find{FindFirstFileU(folder + "\\*", data)};
    if (find.h == INVALID_HANDLE_VALUE)
    {
        failedPath = folder;
        return false;
    }
    struct Found
    {
        std::string name;
        DWORD attributes;
        ULONGLONG size;
    };
    std::vector<Found> found;
    do
    {
        // A name no text can hold (a lone UTF-16 surrogate) would be packed
        // under another name: the walk stops on it.
        if (!data.exact)
        {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            failedPath = folder + "\\" + data.name;
            return false;
        }
        if (data.name != "." && data.name != "..")
            found.push_back({data.name, data.attributes, data.size});
    } while (FindNextFileU(find.h, data));
    if (GetLastError() != ERROR_NO_MORE_FILES)
    {
        failedPath = folder;
        return false;
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.name < b.name; });

    for (const Found& f : found)
    {
        const std::string rel = relative.empty() ? f.name : relative + "\\" + f.name;
        if (f.attributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            if (f.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                continue;
            items.push_back({rel, true, 0});
            if (!ListFolder(root, rel, items, failedPath))
                return false;
        }
        else
        {
            items.push_back({rel, false, f.size});
        }
    }
    return true;
}
} // namespace

bool ListTree(const std::string& root, std::vector<TreeItem>& items, std::string& failedPath)
{
    items.clear();
    const DWORD attributes = GetFileAttributesU(root);
    if (attributes == INVALID_FILE_ATTRIBUTES)
    {
        failedPath = root;
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    {
        SetLastError(ERROR_DIRECTORY);
        failedPath = root;
        return false;
    }
    return ListFolder(root, "", items, failedPath);
}

std::vector<std::string> CommandLineArguments(int, char**)
{
    // The console shows UTF-8, as the names are written.
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i)
        arguments.push_back(Narrow(wide[i], wcslen(wide[i])));
    LocalFree(wide);
    return arguments;
}

bool IsLink(const std::string& path)
{
    const DWORD attributes = GetFileAttributesU(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool PathExists(const std::string& path)
{
    return PathExistsU(path);
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        CScopedFile file(CreateFileU(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
        return file.valid() && GetFileInformationByHandle(file.get(), &info);
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return identify(a, ia) && identify(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool StandardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

const char* NullDevicePath()
{
    return "NUL";
}

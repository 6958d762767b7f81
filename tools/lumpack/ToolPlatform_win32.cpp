#include "ToolPlatform.h"

#include <algorithm>
#include <cstdio>

#include <io.h>

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
    WIN32_FIND_DATAA data;
    FindCloser find{FindFirstFileA((folder + "\\*").c_str(), &data)};
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
        const std::string name = data.cFileName;
        if (name != "." && name != "..")
            found.push_back({name, data.dwFileAttributes, (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
    } while (FindNextFileA(find.h, &data));
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
    const DWORD attributes = GetFileAttributesA(root.c_str());
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

bool SystemToUtf16(const std::string& text, PackageName& name)
{
    name.clear();
    if (text.empty())
        return true;
    const int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    if (n <= 0)
        return false;
    name.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &name[0],
                               n) == n;
}

bool Utf16ToCodePage(const PackageName& name, UINT codePage, std::string& text)
{
    text.clear();
    if (name.empty())
        return true;
    // No best-fit mapping: a character the code page lacks must not turn
    // into a look-alike such as a separator or a dot. The UTF-8 and UTF-7
    // code pages (the ANSI code page under Windows' "Use Unicode UTF-8"
    // option) refuse that flag and the used-default test; they have an exact
    // counterpart for every character, so the conversion goes on without them.
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = &usedDefault;
    int n = WideCharToMultiByte(codePage, flags, name.data(), static_cast<int>(name.size()), nullptr, 0, nullptr,
                                usedDefaultOut);
    if (n <= 0 && (GetLastError() == ERROR_INVALID_FLAGS || GetLastError() == ERROR_INVALID_PARAMETER))
    {
        flags = 0;
        usedDefaultOut = nullptr;
        n = WideCharToMultiByte(codePage, flags, name.data(), static_cast<int>(name.size()), nullptr, 0, nullptr,
                                nullptr);
    }
    if (n <= 0)
        return false;
    text.resize(static_cast<size_t>(n));
    if (WideCharToMultiByte(codePage, flags, name.data(), static_cast<int>(name.size()), &text[0], n, nullptr,
                            usedDefaultOut) != n ||
        usedDefault)
    {
        text.clear();
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }
    return true;
}

bool Utf16ToSystem(const PackageName& name, std::string& text) { return Utf16ToCodePage(name, CP_ACP, text); }

bool IsLink(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        CScopedFile file(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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

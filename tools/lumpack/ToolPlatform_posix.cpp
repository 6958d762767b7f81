#include "ToolPlatform.h"

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

const char kNativeSeparator = '/';

namespace
{
bool ListFolder(const std::string& root, const std::string& relative, std::vector<TreeItem>& items,
                std::string& failedPath)
{
    const std::string folder = relative.empty() ? root : root + "/" + relative;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
    {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND
                     : errno == ENOTDIR ? ERROR_DIRECTORY
                                        : ERROR_ACCESS_DENIED);
        failedPath = folder;
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir))
    {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());

    for (const std::string& name : names)
    {
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        const std::string full = root + "/" + rel;
        struct stat link, st;
        if (::lstat(full.c_str(), &link) != 0 || ::stat(full.c_str(), &st) != 0)
            continue; // vanished, or a dangling link
        if (S_ISDIR(st.st_mode))
        {
            if (S_ISLNK(link.st_mode))
                continue;
            items.push_back({rel, true, 0});
            if (!ListFolder(root, rel, items, failedPath))
                return false;
        }
        else if (S_ISREG(st.st_mode))
        {
            items.push_back({rel, false, static_cast<ULONGLONG>(st.st_size)});
        }
    }
    return true;
}
} // namespace

bool ListTree(const std::string& root, std::vector<TreeItem>& items, std::string& failedPath)
{
    items.clear();
    return ListFolder(root, "", items, failedPath);
}

bool SystemToUtf16(const std::string& text, PackageName& name)
{
    name.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end)
    {
        unsigned c = *p++;
        int more = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (more < 0 || end - p < more)
        {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return false;
        }
        c &= more == 0 ? 0x7F : (0x3F >> more);
        for (int i = 0; i < more; ++i)
        {
            if ((*p & 0xC0) != 0x80)
            {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return false;
            }
            c = (c << 6) | (*p++ & 0x3F);
        }
        static const unsigned kMin[] = {0, 0x80, 0x800, 0x10000};
        if (c < kMin[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return false;
        }
        if (c >= 0x10000)
        {
            name += static_cast<WCHAR>(0xD800 + ((c - 0x10000) >> 10));
            name += static_cast<WCHAR>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        else
            name += static_cast<WCHAR>(c);
    }
    return true;
}

bool Utf16ToSystem(const PackageName& name, std::string& text)
{
    text.clear();
    for (size_t i = 0; i < name.size(); ++i)
    {
        unsigned c = name[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (name[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
        {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return false;
        }
        if (c < 0x80)
            text += static_cast<char>(c);
        else if (c < 0x800)
        {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            text += static_cast<char>(0xE0 | (c >> 12));
            text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            text += static_cast<char>(0xF0 | (c >> 18));
            text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return true;
}

bool IsLink(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool PathExists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool StandardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) != 0;
}

const char* NullDevicePath()
{
    return "/dev/null";
}

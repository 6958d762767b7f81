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

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
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

#include "app/SetupApp.h"

#include <winioctl.h>

#include <io.h>
#include <sys/stat.h>

#include <vector>

#include "app/Messages.h"
#include "framework/Handles.h"
#include "resources/resource.h"

namespace
{
// The largest reparse data the system hands out for one file.
constexpr DWORD REPARSE_DATA_BUFFER_LENGTH = 16 * 1024;

bool IsReparsePoint(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsDotEntry(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Whether a handle opened on the path without following it really is the
// link: the system then gives the link's reparse data back. A system that
// follows the link even so (Wine maps Unix symbolic links to folders this
// way) gives the target instead, and a removal would then reach the target;
// the reason is then that the system does not support removing the link
// alone. False with the reason in the last error.
bool OpensAsLinkItself(const std::string& path)
{
    unique_hfile link(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!link)
        return false;
    std::vector<BYTE> data(REPARSE_DATA_BUFFER_LENGTH);
    DWORD returned = 0;
    if (::DeviceIoControl(link.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(), REPARSE_DATA_BUFFER_LENGTH,
                          &returned, nullptr))
        return true;
    const DWORD error = ::GetLastError();
    link.reset();
    ::SetLastError(error == ERROR_NOT_A_REPARSE_POINT ? ERROR_NOT_SUPPORTED : error);
    return false;
}

// Removes a junction or symbolic link to a folder, never what it points to:
// removing a link as a folder removes the link alone, provided the system
// opens the link itself. False with the reason in the last error.
bool RemoveFolderLink(const std::string& path)
{
    return OpensAsLinkItself(path) && ::RemoveDirectoryA(path.c_str());
}
} // namespace

void CSetupVantrelApp::RemoveFolderTree(const std::string& path, bool force)
{
    // A link inside the tree (or a recorded folder that is itself a link)
    // leads out of the tree: it is removed as a link and never emptied.
    if (IsReparsePoint(::GetFileAttributesA(path.c_str())))
    {
        if (!RemoveFolderLink(path))
        {
            const std::string reason = GetLastErrorText();
            ShowMessage(FormatResMessage(IDS_DELETE_FOLDER_FAILED, {path.c_str(), reason.c_str()}), MB_OK);
        }
        return;
    }

    EmptyFolder(path, force);
    if (!::RemoveDirectoryA(path.c_str()))
    {
        const std::string reason = GetLastErrorText();
        ShowMessage(FormatResMessage(IDS_DELETE_FOLDER_FAILED, {path.c_str(), reason.c_str()}), MB_OK);
    }
}

void CSetupVantrelApp::EmptyFolder(const std::string& path, bool force)
{
    // Every name, hidden and system ones included, in the file system's
    // order. Nothing found (the folder is missing) leaves nothing to do.
    WIN32_FIND_DATAA entry;
    unique_hfind search(::FindFirstFileA((path + "\\*.*").c_str(), &entry));
    if (!search)
        return;
    do
    {
        if (IsDotEntry(entry.cFileName))
            continue;
        const std::string child = path + "\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveFolderTree(child, force);
        else
            DeleteOneFile(child, force);
    } while (::FindNextFileA(search.get(), &entry));
}

void CSetupVantrelApp::DeleteOneFile(const std::string& path, bool force)
{
    // A file that vanished since the folder was searched is passed over.
    if (::DeleteFileA(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
        return;
    std::string reason = GetLastErrorText();

    // Forced: a read-only file is made writable and deleted after all. A
    // link to a file is not: the new mode would land on its target.
    if (force && !IsReparsePoint(::GetFileAttributesA(path.c_str())))
    {
        ::_chmod(path.c_str(), _S_IREAD | _S_IWRITE);
        if (::DeleteFileA(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
            return;
        reason = GetLastErrorText();
    }
    ShowMessage(FormatResMessage(IDS_DELETE_FILE_FAILED, {path.c_str(), reason.c_str()}), MB_OK);
}

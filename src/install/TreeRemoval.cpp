#include "app/SetupApp.h"

#include <winioctl.h>

#include <io.h>
#include <sys/stat.h>

#include <vector>

#include "app/Messages.h"
#include "framework/Handles.h"
#include "framework/SystemLibrary.h"
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

// The full path of the object an open handle names, with every link
// resolved; "" where the system cannot say (it has no such query before
// Windows Vista).
std::string FinalPath(HANDLE handle)
{
    using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
    static const auto getFinalPath = Kernel32Function<GetFinalPathFn>("GetFinalPathNameByHandleA");
    if (!getFinalPath)
        return std::string();
    std::vector<char> buffer(MAX_PATH);
    DWORD length = getFinalPath(handle, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    if (length >= buffer.size())
    {
        buffer.resize(length + 1);
        length = getFinalPath(handle, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    }
    return length > 0 && length < buffer.size() ? std::string(buffer.data(), length) : std::string();
}

std::string FinalPath(const std::string& path)
{
    unique_hfile object(::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return object ? FinalPath(object.get()) : std::string();
}

std::string ParentOf(const std::string& path)
{
    const size_t separator = path.find_last_of('\\');
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

// Whether the file the path names really lies in another folder: a link to
// a file that the system does not mark as one (Wine shows a Unix link to a
// file as a plain file, and deleting it deletes its target). False where the
// system cannot tell.
bool LeadsOutOfItsFolder(const std::string& path)
{
    const std::string file = FinalPath(path);
    const std::string folder = FinalPath(ParentOf(path));
    return !file.empty() && !folder.empty() && ::lstrcmpiA(ParentOf(file).c_str(), folder.c_str()) != 0;
}

// Removes a junction or symbolic link to a folder, never what it points to:
// removing a link as a folder removes the link alone, provided the system
// opens the link itself. False with the reason in the last error.
bool RemoveFolderLink(const std::string& path)
{
    return OpensAsLinkItself(path) && ::RemoveDirectoryA(path.c_str());
}

// Shows message 20043 (folder) or 20044 (file) for an item that stays, with
// the system's reason for the last error: call it right after the failure.
void ReportItemThatStays(CSetupVantrelApp& app, UINT messageId, const std::string& path)
{
    const std::string reason = GetLastErrorText();
    app.ShowMessage(FormatResMessage(messageId, {path.c_str(), reason.c_str()}), MB_OK);
}
} // namespace

void CSetupVantrelApp::RemoveFolderTree(const std::string& path, bool force)
{
    // A link inside the tree (or a recorded folder that is itself a link)
    // leads out of the tree: it is removed as a link and never emptied.
    if (IsReparsePoint(::GetFileAttributesA(path.c_str())))
    {
        if (!RemoveFolderLink(path))
            ReportItemThatStays(*this, IDS_DELETE_FOLDER_FAILED, path);
        return;
    }

    EmptyFolder(path, force);
    if (!::RemoveDirectoryA(path.c_str()))
        ReportItemThatStays(*this, IDS_DELETE_FOLDER_FAILED, path);
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
    // A link the system marks as one is deleted as a link. One it does not
    // mark would take its target with it, outside the tree: it stays.
    const bool markedLink = IsReparsePoint(::GetFileAttributesA(path.c_str()));
    if (!markedLink && LeadsOutOfItsFolder(path))
    {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        ReportItemThatStays(*this, IDS_DELETE_FILE_FAILED, path);
        return;
    }

    // A file that vanished since the folder was searched is passed over.
    if (::DeleteFileA(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
        return;

    // Forced: a read-only file is made writable and deleted after all. A
    // link is not: the new mode would land on its target.
    if (force && !markedLink)
    {
        ::_chmod(path.c_str(), _S_IREAD | _S_IWRITE);
        if (::DeleteFileA(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
            return;
    }
    ReportItemThatStays(*this, IDS_DELETE_FILE_FAILED, path);
}

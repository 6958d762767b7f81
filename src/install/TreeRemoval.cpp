// Removing a folder tree depth first, every item that stays reported in its
// own message. On the NT family the walk goes through the wide-character
// calls and the "\\?\" form of the paths, so it reaches every name it finds:
// paths longer than MAX_PATH and names the ANSI code page cannot spell, which
// an earlier version or a person may have left there. Windows 9x has neither
// and walks with the ANSI calls.
#include "install/TreeRemoval.h"

#include <windows.h>

#include <winioctl.h>

#include <io.h>
#include <sys/stat.h>

#include <vector>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "framework/SystemLibrary.h"
#include "portable/SystemText.h"
#include "resources/resource.h"

namespace
{
// The largest reparse data the system hands out for one file.
constexpr DWORD REPARSE_DATA_BUFFER_LENGTH = 16 * 1024;

bool IsReparsePoint(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

template <class Char>
bool IsDotEntry(const Char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The file calls of the walk for paths in the ANSI code page (Windows 9x,
// whose calls take no other).
struct AnsiPaths
{
    using String = std::string;
    using FindData = WIN32_FIND_DATAA;
    using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

    static String Join(const String& folder, const char* name) { return folder + "\\" + name; }
    static String Pattern(const String& folder) { return folder + "\\*.*"; }
    static HANDLE FindFirst(const String& pattern, FindData& data) { return ::FindFirstFileA(pattern.c_str(), &data); }
    static BOOL FindNext(HANDLE search, FindData& data) { return ::FindNextFileA(search, &data); }
    static DWORD Attributes(const String& path) { return ::GetFileAttributesA(path.c_str()); }
    static BOOL Delete(const String& path) { return ::DeleteFileA(path.c_str()); }
    static BOOL RemoveFolder(const String& path) { return ::RemoveDirectoryA(path.c_str()); }
    static void MakeWritable(const String& path) { ::_chmod(path.c_str(), _S_IREAD | _S_IWRITE); }
    static HANDLE Open(const String& path, DWORD access, DWORD flags)
    {
        return ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, flags, nullptr);
    }
    static GetFinalPathFn FinalPathFunction()
    {
        static const auto function = Kernel32Function<GetFinalPathFn>("GetFinalPathNameByHandleA");
        return function;
    }
    static bool SameText(const String& a, const String& b) { return ::lstrcmpiA(a.c_str(), b.c_str()) == 0; }
    static std::string Shown(const String& path) { return FromCodePage(path); }
    // The code page's form of a path; a path it cannot spell keeps its bytes,
    // which name nothing, so that the walk reports it instead of reaching a
    // look-alike.
    static String From(const std::string& path)
    {
        String text;
        return ToCodePage(path, text) ? text : path;
    }
};

// The same calls for wide paths in the "\\?\" form, which lifts the limit of
// MAX_PATH characters.
struct WidePaths
{
    using String = std::wstring;
    using FindData = WIN32_FIND_DATAW;
    using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

    static String Join(const String& folder, const wchar_t* name) { return folder + L"\\" + name; }
    static String Pattern(const String& folder) { return folder + L"\\*"; }
    static HANDLE FindFirst(const String& pattern, FindData& data) { return ::FindFirstFileW(pattern.c_str(), &data); }
    static BOOL FindNext(HANDLE search, FindData& data) { return ::FindNextFileW(search, &data); }
    static DWORD Attributes(const String& path) { return ::GetFileAttributesW(path.c_str()); }
    static BOOL Delete(const String& path) { return ::DeleteFileW(path.c_str()); }
    static BOOL RemoveFolder(const String& path) { return ::RemoveDirectoryW(path.c_str()); }
    static void MakeWritable(const String& path) { ::_wchmod(path.c_str(), _S_IREAD | _S_IWRITE); }
    static HANDLE Open(const String& path, DWORD access, DWORD flags)
    {
        return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, flags, nullptr);
    }
    static GetFinalPathFn FinalPathFunction()
    {
        static const auto function = Kernel32Function<GetFinalPathFn>("GetFinalPathNameByHandleW");
        return function;
    }
    static bool SameText(const String& a, const String& b) { return ::lstrcmpiW(a.c_str(), b.c_str()) == 0; }

    // The path as the user knows it: without the "\\?\" prefix, in UTF-8.
    static std::string Shown(const String& path)
    {
        String plain = path;
        if (plain.compare(0, 8, L"\\\\?\\UNC\\") == 0)
            plain = L"\\\\" + plain.substr(8);
        else if (plain.compare(0, 4, L"\\\\?\\") == 0)
            plain = plain.substr(4);
        return Narrow(plain);
    }

    // The "\\?\" form of a full path ("\\?\UNC\server\share\..." for a
    // network path); the path made full first, since that form takes every
    // character literally.
    static String From(const std::string& path)
    {
        String wide;
        if (!Widen(path, wide) || wide.empty())
            return String();
        if (wide.compare(0, 4, L"\\\\?\\") == 0)
            return wide;
        const DWORD fullLength = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        if (fullLength == 0)
            return wide;
        String full(fullLength, L'\0');
        const DWORD written = ::GetFullPathNameW(wide.c_str(), fullLength, &full[0], nullptr);
        if (written == 0 || written >= fullLength)
            return wide;
        full.resize(written);
        if (full.compare(0, 2, L"\\\\") == 0)
            return L"\\\\?\\UNC\\" + full.substr(2);
        return L"\\\\?\\" + full;
    }
};

// One walk over a tree, reporting each item that stays through the
// application's messages.
template <class Paths>
class CTreeRemoval
{
public:
    using String = typename Paths::String;

    CTreeRemoval(CSetupContext& context, bool force) : m_context(context), m_force(force) {}

    // Empties the folder and removes it; a junction or symbolic link is
    // removed as a link and never followed.
    void RemoveTree(const String& path)
    {
        // A link inside the tree (or a recorded folder that is itself a link)
        // leads out of the tree: it is removed as a link and never emptied.
        if (IsReparsePoint(Paths::Attributes(path)))
        {
            if (!RemoveFolderLink(path))
                ReportItemThatStays(IDS_DELETE_FOLDER_FAILED, path);
            return;
        }
        EmptyFolder(path);
        if (!Paths::RemoveFolder(path))
            ReportItemThatStays(IDS_DELETE_FOLDER_FAILED, path);
    }

    void DeleteFile(const String& path)
    {
        // A link the system marks as one is deleted as a link. One it does not
        // mark would take its target with it, outside the tree: it stays.
        const bool markedLink = IsReparsePoint(Paths::Attributes(path));
        if (!markedLink && LeadsOutOfItsFolder(path))
        {
            ::SetLastError(ERROR_NOT_SUPPORTED);
            ReportItemThatStays(IDS_DELETE_FILE_FAILED, path);
            return;
        }

        // A file that vanished since the folder was searched is passed over.
        if (Paths::Delete(path) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
            return;

        // Forced: a read-only file is made writable and deleted after all. A
        // link is not: the new mode would land on its target.
        if (m_force && !markedLink)
        {
            Paths::MakeWritable(path);
            if (Paths::Delete(path) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
                return;
        }
        ReportItemThatStays(IDS_DELETE_FILE_FAILED, path);
    }

    // Whether every item the walk met is gone.
    bool RemovedEverything() const { return m_bEverything; }

private:
    void EmptyFolder(const String& path)
    {
        // Every name, hidden and system ones included, in the file system's
        // order. Nothing found (the folder is missing) leaves nothing to do.
        typename Paths::FindData entry;
        unique_hfind search(Paths::FindFirst(Paths::Pattern(path), entry));
        if (!search)
            return;
        do
        {
            if (IsDotEntry(entry.cFileName))
                continue;
            const String child = Paths::Join(path, entry.cFileName);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFile(child);
        } while (Paths::FindNext(search.get(), entry));
    }

    // Whether a handle opened on the path without following it really is the
    // link: the system then gives the link's reparse data back. A system that
    // follows the link even so (Wine maps Unix symbolic links to folders this
    // way) gives the target instead, and a removal would then reach the
    // target; the reason is then that the system does not support removing
    // the link alone. False with the reason in the last error.
    static bool OpensAsLinkItself(const String& path)
    {
        unique_hfile link(
            Paths::Open(path, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
        if (!link)
            return false;
        std::vector<BYTE> data(REPARSE_DATA_BUFFER_LENGTH);
        DWORD returned = 0;
        if (::DeviceIoControl(link.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                              REPARSE_DATA_BUFFER_LENGTH, &returned, nullptr))
            return true;
        const DWORD error = ::GetLastError();
        link.reset();
        ::SetLastError(error == ERROR_NOT_A_REPARSE_POINT ? ERROR_NOT_SUPPORTED : error);
        return false;
    }

    // Removes a junction or symbolic link to a folder, never what it points
    // to: removing a link as a folder removes the link alone, provided the
    // system opens the link itself. False with the reason in the last error.
    static bool RemoveFolderLink(const String& path) { return OpensAsLinkItself(path) && Paths::RemoveFolder(path); }

    // The full path of the object the path names, with every link resolved;
    // empty where the system cannot say (it has no such query before Windows
    // Vista).
    static String FinalPath(const String& path)
    {
        const auto getFinalPath = Paths::FinalPathFunction();
        if (!getFinalPath)
            return String();
        unique_hfile object(Paths::Open(path, 0, FILE_FLAG_BACKUP_SEMANTICS));
        if (!object)
            return String();
        String buffer(MAX_PATH, '\0');
        DWORD length = getFinalPath(object.get(), &buffer[0], static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
        if (length >= buffer.size())
        {
            buffer.assign(length + 1, '\0');
            length = getFinalPath(object.get(), &buffer[0], static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
        }
        return length > 0 && length < buffer.size() ? buffer.substr(0, length) : String();
    }

    static String ParentOf(const String& path)
    {
        const size_t separator = path.find_last_of('\\');
        return separator == String::npos ? String() : path.substr(0, separator);
    }

    // Whether the file the path names really lies in another folder: a link
    // to a file that the system does not mark as one (Wine shows a Unix link
    // to a file as a plain file, and deleting it deletes its target). False
    // where the system cannot tell.
    static bool LeadsOutOfItsFolder(const String& path)
    {
        const String file = FinalPath(path);
        const String folder = FinalPath(ParentOf(path));
        return !file.empty() && !folder.empty() && !Paths::SameText(ParentOf(file), folder);
    }

    // Shows message 20043 (folder) or 20044 (file) for an item that stays,
    // with the system's reason for the last error: call it right after the
    // failure.
    void ReportItemThatStays(UINT messageId, const String& path)
    {
        const std::string reason = GetLastErrorText();
        m_bEverything = false;
        const std::string shown = Paths::Shown(path);
        m_context.ShowMessage(FormatResMessage(messageId, {shown.c_str(), reason.c_str()}), MB_OK);
    }

    CSetupContext& m_context;
    bool m_force;
    bool m_bEverything = true;
};

// Runs the removal with the platform's form of the path: wide and "\\?\" on
// the NT family, ANSI on Windows 9x. True when every item it met is gone.
template <class Action>
bool RemoveWithPlatformPaths(CSetupContext& context, const std::string& path, bool force, Action action)
{
    if (context.IsNT())
    {
        CTreeRemoval<WidePaths> removal(context, force);
        action(removal, WidePaths::From(path));
        return removal.RemovedEverything();
    }
    CTreeRemoval<AnsiPaths> removal(context, force);
    action(removal, AnsiPaths::From(path));
    return removal.RemovedEverything();
}
} // namespace

bool RemoveFolderTree(CSetupContext& context, const std::string& path, bool force)
{
    return RemoveWithPlatformPaths(context, path, force, [](auto& removal, const auto& p) { removal.RemoveTree(p); });
}

bool DeleteOneFile(CSetupContext& context, const std::string& path, bool force)
{
    return RemoveWithPlatformPaths(context, path, force, [](auto& removal, const auto& p) { removal.DeleteFile(p); });
}

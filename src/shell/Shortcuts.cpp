// The two shell links to the installed reader: in the Start menu's Programs
// folder and on the desktop, both named after the product.
#include "shell/Shortcuts.h"

#include <windows.h>

#include <shlobj.h>

#include <type_traits>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "framework/ResourceStrings.h"
#include "framework/SystemCalls.h"
#include "resources/resource.h"
#include "core/ChangeJournal.h"

namespace
{
// The folders that hold a link, in the order they are written; the all-users
// numbers stand for the user's own folders on Windows 9x.
constexpr int LINK_FOLDERS[] = {CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY};
constexpr int READER_ICON_INDEX = 1;

std::string LinkPath(const std::string& folder) { return folder + "\\" + LoadResString(IDS_SHORTCUT_NAME) + ".lnk"; }

// A COM failure that carries a Win32 code becomes the last error, so that the
// message gives the system's reason; any other leaves the last error as the
// failing call left it.
void KeepWin32Reason(HRESULT result)
{
    if (HRESULT_FACILITY(result) == FACILITY_WIN32)
        ::SetLastError(HRESULT_CODE(result));
}

// A shell link object with its target, description and icon set, through the
// interface of the system's text (IShellLinkW or IShellLinkA); its file
// interface, or false with the last error set.
template <class Link>
bool MakeLink(REFIID linkId, const CSystemText& target, const CSystemText& description,
              unique_com<IPersistFile>& file)
{
    unique_com<Link> link;
    HRESULT result =
        ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, linkId, reinterpret_cast<void**>(link.put()));
    if (FAILED(result))
    {
        KeepWin32Reason(result);
        return false;
    }
    if constexpr (std::is_same_v<Link, IShellLinkW>)
    {
        link.get()->SetPath(target.W());
        link.get()->SetDescription(description.W());
        link.get()->SetIconLocation(target.W(), READER_ICON_INDEX);
    }
    else
    {
        link.get()->SetPath(target.A());
        link.get()->SetDescription(description.A());
        link.get()->SetIconLocation(target.A(), READER_ICON_INDEX);
    }
    result = link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()));
    KeepWin32Reason(result);
    return SUCCEEDED(result);
}

// Writes the link file through the shell; false with the last error set.
bool SaveShellLink(const std::string& linkPath, const std::string& target, const std::string& description)
{
    CSystemText targetText;
    CSystemText descriptionText;
    std::wstring widePath;
    if (!targetText.Set(target) || !descriptionText.Set(description) || !Widen(linkPath, widePath))
        return false;
    unique_com<IPersistFile> file;
    if (!(targetText.Wide() ? MakeLink<IShellLinkW>(IID_IShellLinkW, targetText, descriptionText, file)
                            : MakeLink<IShellLinkA>(IID_IShellLinkA, targetText, descriptionText, file)))
        return false;
    // The file's name goes to the shell in UTF-16 on every system.
    HRESULT result = file.get()->Save(widePath.c_str(), TRUE);
    if (SUCCEEDED(result))
        result = file.get()->SaveCompleted(widePath.c_str());
    KeepWin32Reason(result);
    return SUCCEEDED(result);
}
} // namespace

bool CreateShortcuts(CSetupContext& context)
{
    context.Progress().SetStage(IDS_STAGE_SHORTCUTS, 0);
    for (int folderId : LINK_FOLDERS)
    {
        // A folder the system cannot name has been reported already; no link
        // is written for it rather than one at the root of the current drive.
        const std::string folder = GetSpecialFolderPath(context, folderId);
        if (folder.empty())
            continue;
        if (!CreateShortcut(context, folder))
            return false;
    }
    return true;
}

bool CreateShortcut(CSetupContext& context, const std::string& folder)
{
    const std::string target =
        context.m_strInstallPath + "\\Programs\\Reader" + (context.IsNT() ? "NT" : "95") + ".exe";
    const std::string link = LinkPath(folder);
    // An earlier link is set aside, not overwritten, so that an undo can put
    // it back.
    IChangeJournal& journal = context.Journal();
    if (journal.PrepareToWrite(link) && SaveShellLink(link, target, LoadResString(IDS_SHORTCUT_NAME)))
    {
        context.Events().LinkCreated(link, target);
        return true;
    }
    if (journal.Failed())
        return ShowJournalFailure(context);
    const std::string reason = GetLastErrorText();
    context.ShowMessage(FormatResMessage(IDS_SHORTCUT_FAILED, {reason.c_str()}), MB_OK);
    return false;
}

void RemoveShortcuts(CSetupContext& context)
{
    for (int folderId : LINK_FOLDERS)
    {
        const std::string folder = GetSpecialFolderPath(context, folderId);
        if (!folder.empty())
            RemoveShortcut(context, folder);
    }
}

void RemoveShortcut(CSetupContext& context, const std::string& folder)
{
    // A link that is already gone is no error.
    const std::string link = LinkPath(folder);
    if (DeleteFileU(link.c_str()))
        context.Events().LinkRemoved(link);
}

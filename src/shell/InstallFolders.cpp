#include "shell/InstallFolders.h"

#include <windows.h>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/SystemCalls.h"
#include "resources/resource.h"
#include "core/ChangeJournal.h"

#include <cstring>
#include <vector>

namespace
{
// The installation's layout below the install folder, in the order of
// creation: only the last component of each is created, so a parent comes
// before its children.
constexpr const char* INSTALL_FOLDER_SUFFIXES[] = {
    "",
    "\\Programs",
    "\\Configuration",
    "\\Configuration\\Machine",
    "\\Logs",
    "\\Documents",
};

// The folders above path that do not exist yet, the outermost first. A drive
// root or a network share is never among them: neither can be made.
std::vector<std::string> MissingParents(const std::string& path)
{
    std::vector<std::string> missing;
    // The first separator after the root ("C:\" or "\\server\share\").
    constexpr char SEPARATORS[] = "\\/";
    size_t rootEnd = 2;
    if (path.size() > 2 && std::strchr(SEPARATORS, path[0]) && std::strchr(SEPARATORS, path[1]))
    {
        const size_t share = path.find_first_of(SEPARATORS, 2);
        rootEnd = share == std::string::npos ? path.size() : path.find_first_of(SEPARATORS, share + 1);
    }
    for (size_t end = path.find_last_of(SEPARATORS); end != std::string::npos && end > rootEnd;
         end = path.find_last_of(SEPARATORS, end - 1))
    {
        const std::string parent = path.substr(0, end);
        if (GetFileAttributesU(parent) != INVALID_FILE_ATTRIBUTES)
            break;
        missing.insert(missing.begin(), parent);
    }
    return missing;
}
} // namespace

bool CreateInstallFolders(CSetupContext& context)
{
    context.Progress().SetStage(IDS_STAGE_FOLDERS, 0);
    // A typed folder may lie below folders that do not exist yet: they are
    // made first. The uninstall removes the install folder only, never them.
    for (const std::string& parent : MissingParents(context.m_strInstallPath))
    {
        if (!CreateFolder(context, parent))
            return false;
    }
    for (const char* suffix : INSTALL_FOLDER_SUFFIXES)
    {
        if (!CreateFolder(context, context.m_strInstallPath + suffix))
            return false;
    }
    return true;
}

bool CreateFolder(CSetupContext& context, const std::string& path)
{
    context.Progress().SetStatusText(path);
    switch (MakeFolder(context, path))
    {
    case FolderMaking::Made:
    case FolderMaking::AlreadyThere:
        return true;
    case FolderMaking::Stopped:
        return false;
    case FolderMaking::Failed:
        break;
    }
    const std::string reason = GetLastErrorText();
    context.ShowMessage(FormatResMessage(IDS_CREATE_FOLDER_FAILED, {path.c_str(), reason.c_str()}), MB_OK);
    return false;
}

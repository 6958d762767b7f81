#pragma once
#include <windows.h>

#include <string>

#include "core/FolderDaclWriter.h"

// The system's way: SetSecurityInfo with the discretionary list only.
class CSystemDaclWriter : public IFolderDaclWriter
{
public:
    DWORD SetFolderDacl(HANDLE folder, const std::string& path, PACL dacl) override;
};

// The one system writer.
IFolderDaclWriter& SystemDaclWriter();

class CSetupContext;

// The access rights of the installation's folders, on Windows 5.1 and 6.1
// only: ordinary users get full control of the data folders, and the install
// folder gets fixed entries for users, administrators and the system. Nothing
// is reported and no folder stops another. The lists go to the folders
// through the context's DACL writer.
void SetFolderAccessRights(CSetupContext& context);
// Each adds one inherited entry to the folder's list; true when the folder
// took the new list.
bool SetUsersFolderAccess(IFolderDaclWriter& writer, const std::string& folder);
bool GrantUsersFullControl(IFolderDaclWriter& writer, const std::string& folder);
bool GrantAdministratorsFullControl(IFolderDaclWriter& writer, const std::string& folder);
bool GrantSystemFullControl(IFolderDaclWriter& writer, const std::string& folder);

// The access rights of the installation's folders: on Windows 5.1 and 6.1,
// ordinary users get full control of the data folders, and the install
// folder gets fixed entries for users, administrators and the system.
#include "install/FolderRights.h"

#include <aclapi.h>

#include "core/Platform.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "framework/SystemCalls.h"

namespace
{
constexpr DWORD USERS_FOLDER_ACCESS = READ_CONTROL | FILE_LIST_DIRECTORY | FILE_READ_EA | FILE_WRITE_EA;

// One access-control entry: the trustee's SID as sub-authorities of the NT
// authority, the mode and the rights.
struct FolderEntry
{
    BYTE subAuthorityCount;
    DWORD subAuthority0;
    DWORD subAuthority1;
    ACCESS_MODE mode;
    DWORD access;
};
constexpr FolderEntry USERS_FOLDER_ENTRY = {2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, SET_ACCESS,
                                            USERS_FOLDER_ACCESS};
constexpr FolderEntry USERS_FULL_CONTROL = {2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, GRANT_ACCESS,
                                            GENERIC_ALL};
constexpr FolderEntry ADMINISTRATORS_FULL_CONTROL = {2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                                     GRANT_ACCESS, GENERIC_ALL};
constexpr FolderEntry SYSTEM_FULL_CONTROL = {1, SECURITY_LOCAL_SYSTEM_RID, 0, GRANT_ACCESS, GENERIC_ALL};

CSystemDaclWriter g_systemDaclWriter;

// Merges the entry, inherited by every file and folder below, into the
// folder's list; true when the folder took the new list.
bool AddFolderEntry(IFolderDaclWriter& writer, const std::string& path, const FolderEntry& entry)
{
    const unique_hfile folder(CreateFileU(path.c_str(), READ_CONTROL | WRITE_DAC, 0, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder)
        return false;

    PACL currentList = nullptr;
    unique_hlocal descriptor;
    DWORD result = ::GetSecurityInfo(folder.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                     &currentList, nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()));
    if (result != ERROR_SUCCESS)
    {
        ::SetLastError(result);
        return false;
    }

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    unique_sid trustee;
    if (!::AllocateAndInitializeSid(&ntAuthority, entry.subAuthorityCount, entry.subAuthority0, entry.subAuthority1,
                                    0, 0, 0, 0, 0, 0, trustee.put()))
        return false;

    EXPLICIT_ACCESS_A access;
    ::ZeroMemory(&access, sizeof access);
    access.grfAccessPermissions = entry.access;
    access.grfAccessMode = entry.mode;
    access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access.Trustee.pMultipleTrustee = nullptr;
    access.Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
    access.Trustee.ptstrName = static_cast<LPSTR>(trustee.get());

    PACL newList = nullptr;
    result = ::SetEntriesInAclA(1, &access, currentList, &newList);
    const unique_hlocal newListOwner(newList);
    if (result != ERROR_SUCCESS || !newList)
    {
        ::SetLastError(result != ERROR_SUCCESS ? result : ERROR_INVALID_ACL);
        return false;
    }
    result = writer.SetFolderDacl(folder.get(), path, newList);
    ::SetLastError(result);
    return result == ERROR_SUCCESS;
}
} // namespace

DWORD CSystemDaclWriter::SetFolderDacl(HANDLE folder, const std::string&, PACL dacl)
{
    return ::SetSecurityInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
}

IFolderDaclWriter& SystemDaclWriter() { return g_systemDaclWriter; }

void SetFolderAccessRights(CSetupContext& context)
{
    if (!IsWindows7() && !IsWindowsXP())
        return;
    IFolderDaclWriter& writer = context.DaclWriter();
    // Each step stands alone: a folder that is missing or refuses the change
    // does not stop the others.
    const std::string& root = context.m_strInstallPath;
    SetUsersFolderAccess(writer, root);
    GrantUsersFullControl(writer, root + "\\Configuration");
    GrantUsersFullControl(writer, root + "\\Configuration\\Machine");
    GrantUsersFullControl(writer, root + "\\Documents");
    GrantUsersFullControl(writer, root + "\\Logs");
    GrantAdministratorsFullControl(writer, root);
    GrantSystemFullControl(writer, root);
}

bool SetUsersFolderAccess(IFolderDaclWriter& writer, const std::string& folder)
{
    return AddFolderEntry(writer, folder, USERS_FOLDER_ENTRY);
}

bool GrantUsersFullControl(IFolderDaclWriter& writer, const std::string& folder)
{
    return AddFolderEntry(writer, folder, USERS_FULL_CONTROL);
}

bool GrantAdministratorsFullControl(IFolderDaclWriter& writer, const std::string& folder)
{
    return AddFolderEntry(writer, folder, ADMINISTRATORS_FULL_CONTROL);
}

bool GrantSystemFullControl(IFolderDaclWriter& writer, const std::string& folder)
{
    return AddFolderEntry(writer, folder, SYSTEM_FULL_CONTROL);
}

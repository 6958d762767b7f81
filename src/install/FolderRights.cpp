// The access rights of the installation's folders: on Windows 5.1 and 6.1,
// ordinary users get full control of the data folders, and the install
// folder gets fixed entries for users, administrators and the system.
#include "app/SetupApp.h"

#include <aclapi.h>

#include "framework/Handles.h"
#include "install/FolderDaclWriter.h"

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
    const unique_hfile folder(::CreateFileA(path.c_str(), READ_CONTROL | WRITE_DAC, 0, nullptr, OPEN_EXISTING,
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

bool IsVersion(DWORD major, DWORD minor)
{
    const OSVERSIONINFOA version = CSetupVantrelApp::WindowsVersion();
    return version.dwMajorVersion == major && version.dwMinorVersion == minor;
}
} // namespace

DWORD CSystemDaclWriter::SetFolderDacl(HANDLE folder, const std::string&, PACL dacl)
{
    return ::SetSecurityInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
}

void CSetupVantrelApp::SetDaclWriter(IFolderDaclWriter* writer) { m_pDaclWriter = writer; }

IFolderDaclWriter& CSetupVantrelApp::DaclWriter() { return m_pDaclWriter ? *m_pDaclWriter : g_systemDaclWriter; }

bool CSetupVantrelApp::IsWindowsXP() { return IsVersion(5, 1); }

bool CSetupVantrelApp::IsWindows7() { return IsVersion(6, 1); }

void CSetupVantrelApp::SetFolderAccessRights()
{
    if (!IsWindows7() && !IsWindowsXP())
        return;
    // Each step stands alone: a folder that is missing or refuses the change
    // does not stop the others.
    SetUsersFolderAccess(m_strInstallPath);
    GrantUsersFullControl(m_strInstallPath + "\\Configuration");
    GrantUsersFullControl(m_strInstallPath + "\\Configuration\\Machine");
    GrantUsersFullControl(m_strInstallPath + "\\Documents");
    GrantUsersFullControl(m_strInstallPath + "\\Logs");
    GrantAdministratorsFullControl(m_strInstallPath);
    GrantSystemFullControl(m_strInstallPath);
}

bool CSetupVantrelApp::SetUsersFolderAccess(const std::string& folder)
{
    return AddFolderEntry(DaclWriter(), folder, USERS_FOLDER_ENTRY);
}

bool CSetupVantrelApp::GrantUsersFullControl(const std::string& folder)
{
    return AddFolderEntry(DaclWriter(), folder, USERS_FULL_CONTROL);
}

bool CSetupVantrelApp::GrantAdministratorsFullControl(const std::string& folder)
{
    return AddFolderEntry(DaclWriter(), folder, ADMINISTRATORS_FULL_CONTROL);
}

bool CSetupVantrelApp::GrantSystemFullControl(const std::string& folder)
{
    return AddFolderEntry(DaclWriter(), folder, SYSTEM_FULL_CONTROL);
}

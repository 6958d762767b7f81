#include "run/HandOverFolder.h"

#include <aclapi.h>

#include "framework/SystemCalls.h"
#include "framework/SystemLibrary.h"
#include "framework/SystemRandom.h"

namespace
{
constexpr char FOLDER_PREFIX[] = "LumiroSetup-";
// How many random names a run tries before it gives up: a second one taken
// already means someone is guessing, not chance.
constexpr unsigned MAX_NAMES = 16;
constexpr DWORD RANDOM_BYTES = 16;

// The running user's SID, copied out of the process token.
bool ReadUser(std::vector<BYTE>& sid)
{
    unique_handle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return false;
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return false;
    const PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    sid.resize(::GetLengthSid(user));
    return ::CopySid(static_cast<DWORD>(sid.size()), sid.data(), user) != FALSE;
}

void Grant(EXPLICIT_ACCESS_A& access, PSID trustee, TRUSTEE_TYPE type)
{
    ::ZeroMemory(&access, sizeof access);
    access.grfAccessPermissions = GENERIC_ALL;
    access.grfAccessMode = GRANT_ACCESS;
    access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access.Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = type;
    access.Trustee.ptstrName = static_cast<LPSTR>(trustee);
}
} // namespace

bool CHandOverFolderSecurity::Build()
{
    if (!ReadUser(m_user))
        return false;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    unique_sid system;
    unique_sid administrators;
    if (!::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, system.put()) ||
        !::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                    0, 0, administrators.put()))
        return false;
    EXPLICIT_ACCESS_A entries[3];
    Grant(entries[0], m_user.data(), TRUSTEE_IS_USER);
    Grant(entries[1], system.get(), TRUSTEE_IS_WELL_KNOWN_GROUP);
    Grant(entries[2], administrators.get(), TRUSTEE_IS_GROUP);
    PACL list = nullptr;
    const DWORD result = ::SetEntriesInAclA(3, entries, nullptr, &list);
    m_acl.reset(list);
    if (result != ERROR_SUCCESS || !list)
    {
        ::SetLastError(result != ERROR_SUCCESS ? result : ERROR_INVALID_ACL);
        return false;
    }
    if (!::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&m_descriptor, TRUE, Dacl(), FALSE))
        return false;
    // Protected: the temporary folder's own inheritable entries (every user
    // may create files there) do not flow into this one. Windows 2000 and
    // later have the call and the inheritance it stops; NT 4.0 has neither.
    typedef BOOL(WINAPI * SetControlFn)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL);
    const HMODULE advapi = ::GetModuleHandleA("advapi32.dll");
    const auto setControl = advapi ? reinterpret_cast<SetControlFn>(reinterpret_cast<void (*)()>(
                                         ::GetProcAddress(advapi, "SetSecurityDescriptorControl")))
                                   : nullptr;
    if (setControl && !setControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return false;
    m_attributes.nLength = sizeof m_attributes;
    m_attributes.lpSecurityDescriptor = &m_descriptor;
    m_attributes.bInheritHandle = FALSE;
    return true;
}

bool CSystemFolderMaker::MakeFolder(const std::string& path, SECURITY_ATTRIBUTES* security)
{
    return CreateDirectoryU(path.c_str(), security) != FALSE;
}

bool RandomName(const std::string& prefix, const std::string& suffix, std::string& name)
{
    BYTE random[RANDOM_BYTES];
    if (!SystemRandomBytes(random, sizeof random))
        return false;
    static const char digits[] = "0123456789abcdef";
    name = prefix;
    for (BYTE b : random)
        (name += digits[b >> 4]) += digits[b & 15];
    name += suffix;
    return true;
}

bool MakeHandOverFolder(const std::string& parent, IFolderMaker& maker, std::string& folder)
{
    CHandOverFolderSecurity security;
    if (!security.Build())
        return false;
    for (unsigned attempt = 0; attempt < MAX_NAMES; ++attempt)
    {
        std::string name;
        if (!RandomName(FOLDER_PREFIX, "", name))
            return false;
        folder = parent + "\\" + name;
        // CreateDirectory makes the folder or fails: a name taken by a file
        // or folder (or a link) is never opened or used.
        if (maker.MakeFolder(folder, security.Attributes()))
            return true;
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    folder.clear();
    ::SetLastError(ERROR_ALREADY_EXISTS);
    return false;
}

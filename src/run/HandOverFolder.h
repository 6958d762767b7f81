#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"

// The folder the installed copy of the setup hands its run to (on the NT
// family): a new folder in the temporary folder, named "LumiroSetup-" and 32
// random hexadecimal digits, whose access list lets only the running user,
// SYSTEM and the Administrators in: all three with full control, inherited
// by everything in it, and none of the entries of the folder above (the
// system's temporary folder lets every user create files). Run as SYSTEM
// from C:\Windows\Temp, the copy so never sits beside a file that someone
// else could have put there.

// The security of such a folder for the running user: the list and the
// descriptor that carries it, protected from inherited entries.
class CHandOverFolderSecurity
{
public:
    // False, with the reason as the last error, when the user's identity
    // cannot be read or the list not be made.
    bool Build();
    PACL Dacl() const { return static_cast<PACL>(m_acl.get()); }
    PSID User() { return m_user.data(); }
    SECURITY_ATTRIBUTES* Attributes() { return &m_attributes; }

private:
    std::vector<BYTE> m_user;
    unique_hlocal m_acl;
    SECURITY_DESCRIPTOR m_descriptor{};
    SECURITY_ATTRIBUTES m_attributes{};
};

// Makes a folder with the given security (the system's CreateDirectory);
// tests stand in to read what it is given.
class IFolderMaker
{
public:
    virtual ~IFolderMaker() = default;
    // False, with the reason as the last error; ERROR_ALREADY_EXISTS when a
    // file or folder of that name is there.
    virtual bool MakeFolder(const std::string& path, SECURITY_ATTRIBUTES* security) = 0;
};

class CSystemFolderMaker : public IFolderMaker
{
public:
    bool MakeFolder(const std::string& path, SECURITY_ATTRIBUTES* security) override;
};

// A name of prefix and 32 random hexadecimal digits (suffix after them),
// from the system's cryptographic generator; false where it has none.
bool RandomName(const std::string& prefix, const std::string& suffix, std::string& name);

// Makes the hand-over folder in parent and gives its path. The folder is
// made with its access list at once, so that nobody gets in between; a name
// that something already has is never used (another random name is drawn).
// False, with the reason as the last error.
bool MakeHandOverFolder(const std::string& parent, IFolderMaker& maker, std::string& folder);

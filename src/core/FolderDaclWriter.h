#pragma once
#include <windows.h>

#include <string>

// Hands a folder its new discretionary access-control list. The folder-rights
// step builds the list; this seam applies it, so that a test can read back the
// list it was given.
class IFolderDaclWriter
{
public:
    virtual ~IFolderDaclWriter() = default;

    // Replaces the discretionary list of the folder open as handle (opened with
    // READ_CONTROL and WRITE_DAC) at path. Returns the Win32 result code.
    virtual DWORD SetFolderDacl(HANDLE folder, const std::string& path, PACL dacl) = 0;
};

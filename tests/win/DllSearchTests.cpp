// The setup runs where anyone may have put a DLL beside it: once the search
// path is protected, a DLL planted beside the program is no longer found by
// name, and system DLLs are loaded from the system folder by full path.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "framework/Handles.h"
#include "framework/SystemLibrary.h"

namespace
{
std::string ModulePath(HMODULE module)
{
    char path[MAX_PATH];
    return std::string(path, ::GetModuleFileNameA(module, path, MAX_PATH));
}

std::string SystemFolder()
{
    char folder[MAX_PATH];
    return std::string(folder, ::GetSystemDirectoryA(folder, MAX_PATH));
}
} // namespace

TEST(DllSearch, APlantedDllIsFoundBeforeAndNotAfterTheSearchPathIsProtected)
{
    // Control: with the default search order the DLL beside the program loads.
    {
        unique_hmodule planted(::LoadLibraryA("lumiro_probe.dll"));
        ASSERT_TRUE(planted) << "the probe DLL must lie beside the test program";
    }
    ProtectDllSearchPath();
    unique_hmodule planted(::LoadLibraryA("lumiro_probe.dll"));
    EXPECT_FALSE(planted);
}

TEST(DllSearch, SystemLibrariesComeFromTheSystemFolderByFullPath)
{
    unique_hmodule version(LoadSystemLibrary("version.dll"));
    ASSERT_TRUE(version);
    EXPECT_EQ(_stricmp(ModulePath(version.get()).c_str(), (SystemFolder() + "\\version.dll").c_str()), 0)
        << ModulePath(version.get());
    EXPECT_NE(::GetProcAddress(version.get(), "GetFileVersionInfoA"), nullptr);
}

TEST(DllSearch, AMissingSystemLibraryFailsWithTheSystemsReason)
{
    unique_hmodule missing(LoadSystemLibrary("lumiro_probe.dll"));
    EXPECT_FALSE(missing);
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

// Which folders may be taken as the installation folder: asked of the test
// prefix's real shell folders.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include "shell/InstallPathCheck.h"

namespace
{
std::string ShellFolder(int csidl)
{
    char buffer[MAX_PATH] = "";
    EXPECT_TRUE(::SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE)) << csidl;
    return buffer;
}

std::string Upper(std::string text)
{
    ::CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

std::string ParentOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }
} // namespace

TEST(InstallPathCheck, SortsPathsByWhatMakesThemUnsafe)
{
    const std::string windows = ShellFolder(CSIDL_WINDOWS);
    const std::string profile = ShellFolder(CSIDL_PROFILE);
    const struct
    {
        std::string path;
        InstallPathProblem expected;
    } cases[] = {
        {"", InstallPathProblem::Empty},
        {"\\", InstallPathProblem::NotAbsolute},
        {"Lumiro", InstallPathProblem::NotAbsolute},
        {"..\\x", InstallPathProblem::NotAbsolute},
        {"C:Lumiro", InstallPathProblem::NotAbsolute},
        {"\\Lumiro", InstallPathProblem::NotAbsolute},
        {"\\\\?\\C:\\Lumiro", InstallPathProblem::NotAbsolute},
        {"\\\\server", InstallPathProblem::NotAbsolute},
        {"C:\\", InstallPathProblem::DriveRoot},
        {"c:\\\\", InstallPathProblem::DriveRoot},
        {"C:\\Lumiro\\..", InstallPathProblem::DriveRoot},
        {"\\\\server\\share", InstallPathProblem::DriveRoot},
        {"\\\\server\\share\\", InstallPathProblem::DriveRoot},
        {windows, InstallPathProblem::WellKnownFolder},
        {Upper(windows) + "\\", InstallPathProblem::WellKnownFolder},
        {ShellFolder(CSIDL_SYSTEM), InstallPathProblem::WellKnownFolder},
        {ShellFolder(CSIDL_PROGRAM_FILES), InstallPathProblem::WellKnownFolder},
        {profile, InstallPathProblem::WellKnownFolder},
        {ParentOf(profile), InstallPathProblem::WellKnownFolder},
        {ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY), InstallPathProblem::WellKnownFolder},
        {ShellFolder(CSIDL_PERSONAL), InstallPathProblem::WellKnownFolder},
        {"C:\\Lumiro", InstallPathProblem::None},
        {"C:/Lumiro/", InstallPathProblem::None},
        {"D:\\Apps\\Lumiro", InstallPathProblem::None},
        {"\\\\server\\share\\Lumiro", InstallPathProblem::None},
        {ShellFolder(CSIDL_PROGRAM_FILES) + "\\Lumiro", InstallPathProblem::None},
        {profile + "\\Lumiro", InstallPathProblem::None},
        {windows + "x", InstallPathProblem::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckInstallPath(c.path), c.expected) << "\"" << c.path << "\"";
}

TEST(InstallPathCheck, TrailingSeparatorsAreDropped)
{
    EXPECT_EQ(TrimTrailingSeparators("C:\\Lumiro\\\\"), "C:\\Lumiro");
    EXPECT_EQ(TrimTrailingSeparators("C:\\Lumiro/"), "C:\\Lumiro");
    EXPECT_EQ(TrimTrailingSeparators("C:\\Lumiro"), "C:\\Lumiro");
    EXPECT_EQ(TrimTrailingSeparators("\\\\"), "");
}

// Writing one file of a package: the data go into a new temporary file in
// the target's own folder, which takes the entry's time stamps and only then
// the target's name. A target that cannot be deleted (in use) is replaced at
// the next start of Windows.
#include "app/SetupApp.h"

#include "app/Messages.h"
#include "framework/Handles.h"
#include "package/PackageFile.h"
#include "resources/resource.h"

namespace
{
constexpr DWORD SHORT_PATH_BUFFER = 1024;

bool PathExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The target path up to, not including, its last backslash.
std::string FolderOf(const std::string& path)
{
    const size_t last = path.rfind('\\');
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

std::string TemporaryName(const std::string& folder, unsigned counter)
{
    char name[32];
    ::wsprintfA(name, "\\$tmp%04u.tmp", counter);
    return folder + name;
}

// The short (8.3) form of an existing path; false when the system cannot give
// one that fits the buffer, with the reason as the last error.
bool ShortPathOf(const std::string& path, std::string& shortPath)
{
    char buffer[SHORT_PATH_BUFFER];
    const DWORD length = ::GetShortPathNameA(path.c_str(), buffer, SHORT_PATH_BUFFER);
    if (length == 0)
        return false;
    if (length >= SHORT_PATH_BUFFER)
    {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    shortPath.assign(buffer, length);
    return true;
}
} // namespace

// Opens a new, empty temporary file beside the target: the first free name of
// "$tmp0001.tmp", "$tmp0002.tmp", ... (at least four digits, no upper limit).
// Shows message 20028 on failure and returns an invalid handle; tempPath holds
// the chosen name in both cases.
static unique_hfile CreateTemporaryFile(CSetupVantrelApp& app, const std::string& targetPath, std::string& tempPath)
{
    const std::string folder = FolderOf(targetPath);
    unsigned counter = 1;
    do
        tempPath = TemporaryName(folder, counter++);
    while (PathExists(tempPath));

    unique_hfile file(::CreateFileA(tempPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
    {
        const std::string reason = GetLastErrorText();
        app.ShowMessage(FormatResMessage(IDS_TEMP_FILE_FAILED, {tempPath.c_str(), reason.c_str()}), MB_OK);
    }
    return file;
}

bool CSetupVantrelApp::WriteFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                            const std::string& targetPath)
{
    std::string tempPath;
    unique_hfile file = CreateTemporaryFile(*this, targetPath, tempPath);
    if (!file)
        return false;

    // Shows the failure with the reason of the call that just failed, then
    // removes the temporary file: no half-written file stays behind.
    auto fail = [&](UINT messageId) {
        const std::string reason = GetLastErrorText();
        file.reset();
        ::DeleteFileA(tempPath.c_str());
        ShowMessage(FormatResMessage(messageId, {reason.c_str()}), MB_OK);
        return false;
    };

    if (!package.ExtractToFile(index, file.get()))
        return fail(IDS_PACKAGE_READ_FAILED);
    if (!::FlushFileBuffers(file.get()))
        return fail(IDS_FILE_WRITE_FAILED);
    const PackageFileInfo info = entry.GetFileInfo();
    if (!::SetFileTime(file.get(), &info.ftCreation, nullptr, &info.ftLastWrite))
        return fail(IDS_FILE_WRITE_FAILED);
    file.reset();

    if (::MoveFileA(tempPath.c_str(), targetPath.c_str()))
        return true;
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
        return fail(IDS_RENAME_FAILED);

    // The target exists: delete it, a second time after clearing read-only,
    // hidden and system. A target that still cannot go is in use.
    if (!::DeleteFileA(targetPath.c_str()))
    {
        ::SetFileAttributesA(targetPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!::DeleteFileA(targetPath.c_str()))
        {
            ScheduleBootReplacement(tempPath, targetPath);
            return true;
        }
    }

    if (::MoveFileA(tempPath.c_str(), targetPath.c_str()))
        return true;
    const std::string reason = GetLastErrorText();
    ::DeleteFileA(tempPath.c_str());
    ShowMessage(FormatResMessage(IDS_RENAME_AFTER_DELETE_FAILED, {targetPath.c_str(), reason.c_str()}), MB_OK);
    return false;
}

bool CSetupVantrelApp::ScheduleBootReplacement(const std::string& sourcePath, const std::string& targetPath)
{
    if (IsWindowsNT())
    {
        // Delete the target at start-up, then move the temporary file to the
        // freed name. The second move is queued only when the first was.
        const bool queued = ::MoveFileExA(targetPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) &&
                            ::MoveFileExA(sourcePath.c_str(), targetPath.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT);
        if (!queued)
        {
            const std::string reason = GetLastErrorText();
            ShowMessage(FormatResMessage(IDS_BOOT_REPLACE_FAILED, {reason.c_str()}), MB_OK);
        }
        m_bRebootNeeded = true;
        return queued;
    }

    // Windows 9x: two WININIT.INI lines with short paths, written after the
    // package. A long path in them would be misread at start-up (a space
    // ends the name), so without both short paths nothing is queued: the old
    // file stays, the temporary file goes, and the user is told why.
    std::string shortSource;
    std::string shortTarget;
    if (!ShortPathOf(sourcePath, shortSource) || !ShortPathOf(targetPath, shortTarget))
    {
        const std::string reason = GetLastErrorText();
        ::DeleteFileA(sourcePath.c_str());
        ShowMessage(FormatResMessage(IDS_BOOT_REPLACE_FAILED, {reason.c_str()}), MB_OK);
        return false;
    }
    m_arrBootRenames.push_back("NUL=" + shortTarget);
    m_arrBootRenames.push_back(shortTarget + "=" + shortSource);
    m_bRebootNeeded = true;
    return true;
}

#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "framework/WinApp.h"
#include "install/FolderNames.h"
#include "package/PackageFormat.h"

class IInstallProgress;
class IUserPrompts;
class CPackageFile;
class CPackageCatalogEntry;
class DLG_Installing;
class IFolderDaclWriter;


// The application object: owns the state of the whole run and drives it from
// InitInstance. Its install and uninstall steps live in the subsystem folders,
// one source file each, so that a test can construct its own object with test
// folders and a prompt recorder.
class CSetupVantrelApp : public CWinAppBase
{
public:
    CSetupVantrelApp();
    ~CSetupVantrelApp() override;

    // Start-up and main flow (app/SetupApp.cpp).
    BOOL InitInstance() override;
    // The Windows version the system reports; ends the process with exit
    // code 1000 when the system cannot tell it.
    static OSVERSIONINFOA WindowsVersion();
    static bool IsWindowsNT();
    void RestartWindows();
    void SetInstallPath(const std::string& path);

    // Reads the setup's own, the Windows and the system folders into the
    // members below (start-up steps 3 and 4), each into a buffer of
    // bufferLength characters. A query that fails or does not fit is shown
    // to the user and gives false: the run ends before anything is done.
    static constexpr DWORD FOLDER_BUFFER_LENGTH = 1024;
    bool DetermineFolders(DWORD bufferLength = FOLDER_BUFFER_LENGTH);

    // Install sequence (app/InstallSequence.cpp).
    bool RunInstall(IInstallProgress& progress);
    bool RegisterComponents(IInstallProgress& progress);

    // Uninstall sequence (app/UninstallSequence.cpp).
    bool RunUninstall();
    // Stage 1: removes the recorded installation folder's tree when it is a
    // folder of an installed copy. Gives the text that ends the stage's log
    // line; itemsRemain tells whether anything of the tree stayed.
    std::string RemoveProgramFiles(const std::string& installPath, bool& itemsRemain);

    // Installation folders (shell/InstallFolders.cpp).
    bool CreateInstallFolders(IInstallProgress& progress);
    bool CreateFolder(IInstallProgress& progress, const std::string& path);

    // Shortcuts and special folders (shell/Shortcuts.cpp, shell/SpecialFolders.cpp).
    bool CreateShortcuts(IInstallProgress& progress);
    bool CreateShortcut(const std::string& folder);
    void RemoveShortcuts();
    void RemoveShortcut(const std::string& folder);
    // The path of a special folder (a CSIDL number; the all-users numbers
    // stand for the user's own folders on Windows 9x); "" after the system's
    // reason was shown.
    std::string GetSpecialFolderPath(int folder);
    static int MapCommonFolder(int folder);

    // Package installation (install/PackageInstall.cpp).
    bool InstallPackages(IInstallProgress& progress);
    bool InstallPackage(IInstallProgress& progress, const std::string& packageName,
                        std::string destination);
    // Makes the folders an entry's name leads through below the destination
    // (ending with a backslash), and with wholeName the entry's own folder.
    // Shows message 20012 and gives false when one cannot be made.
    bool CreateEntryFolders(const std::string& destination, const std::string& name, bool wholeName);

    // Replace decision (install/ReplaceDecision.cpp).
    bool InstallFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                const std::string& targetPath);
    // Asks whether an existing file without version information is replaced
    // by the entry; true to replace. False keeps the file; the installation
    // stops when m_bReplaceCancelled has been set.
    bool AskReplaceFile(const CPackageCatalogEntry& entry, const std::string& targetPath);

    // File writing and boot-time replacement (install/FileWriter.cpp).
    bool WriteFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                              const std::string& targetPath);
    // Writes a file whose target was found absent: as WriteFileFromPackage,
    // but a target that exists by the time of the rename is left alone and
    // reported, so that the replace decision is made for it.
    enum class FileWriteResult
    {
        Written,
        Failed,
        TargetExists,
    };
    FileWriteResult WriteNewFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                            const std::string& targetPath);
    bool ScheduleBootReplacement(const std::string& sourcePath, const std::string& targetPath);
    bool WriteWininitRenames();
    // Deletes the temporary files of the WININIT.INI lines not written yet
    // and drops the lines.
    void DiscardBootRenames();

    // OLE control registration (install/OleRegistration.cpp).
    bool RegisterOleControls(IInstallProgress& progress);
    // Loads the module and calls its DllRegisterServer; true only when that
    // returned exactly S_OK.
    static bool RegisterServerModule(const std::string& modulePath);

    // Folder access rights (install/FolderRights.cpp). Only on Windows 5.1
    // and 6.1; nothing is reported and no step stops another.
    void SetFolderAccessRights();
    bool SetUsersFolderAccess(const std::string& folder);
    bool GrantUsersFullControl(const std::string& folder);
    bool GrantAdministratorsFullControl(const std::string& folder);
    bool GrantSystemFullControl(const std::string& folder);
    static bool IsWindowsXP();
    static bool IsWindows7();
    // The seam through which the new access-control lists reach the folders.
    // The default calls SetSecurityInfo; a test passes its own. Not owned.
    void SetDaclWriter(IFolderDaclWriter* writer);
    IFolderDaclWriter& DaclWriter();

    // Directory tree removal (install/TreeRemoval.cpp): depth first, every
    // item that stays reported in its own message, never stopping early. With
    // force a read-only file is made writable and deleted. A junction or
    // symbolic link is removed as a link and never followed. True when every
    // item is gone.
    bool RemoveFolderTree(const std::string& path, bool force);
    bool DeleteOneFile(const std::string& path, bool force);

    // Product records and font mappings (registry/ProductRecords.cpp,
    // registry/FontMappingWriter.cpp).
    bool WriteRegistryRecords(IInstallProgress& progress);
    void RemoveRegistryRecords();
    bool WriteFontMappings(IInstallProgress& progress);

    // Messages (app/Messages.cpp): every text shown to the user goes through
    // these, and they go through the prompt seam.
    int ShowMessage(const std::string& text, UINT type);
    int ShowMessage(UINT stringId, UINT type);

    // The seam for what the steps show and ask. The default shows real
    // windows; a test passes its own recorder. Not owned.
    void SetUserPrompts(IUserPrompts* prompts);
    IUserPrompts& UserPrompts();

    // The folder offered to a new installation.
    static constexpr char DEFAULT_INSTALL_PATH[] = "C:\\Lumiro";

    bool m_bRebootNeeded = false;
    std::string m_strInstallPath = DEFAULT_INSTALL_PATH;
    std::string m_strSourceDir;
    std::string m_strSystemDir;
    std::string m_strWindowsDir;
    std::vector<std::string> m_arrBootRenames;
    BOOL m_bAskReplace = TRUE;
    BOOL m_bReplaceCancelled = FALSE;
    // Listings of the destination folders for the replace decision's
    // existence test; emptied at the start of every package.
    CFolderNames m_folderNames;
    // The folders of entries made (or found) while one package is installed.
    std::set<std::string> m_entryFolders;

private:
    bool CreateSecureKey();
    enum class SetupChoice
    {
        Leave,     // "Exit Setup", or a cancel confirmed in a later dialog
        Install,   // into m_strInstallPath
        Uninstall,
    };
    // The main dialog and, for a new installation, the licence agreement and
    // the install-path dialog.
    SetupChoice ChooseInstallation();
    FileWriteResult WritePackageFile(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                     const std::string& targetPath, bool mayReplace);

    IUserPrompts* m_pPrompts = nullptr;
    IFolderDaclWriter* m_pDaclWriter = nullptr;
};

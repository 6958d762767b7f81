#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "package/PackageFormat.h"
#include "package/Sha256.h"
#include "run/MediumRecord.h"

class CSetupContext;
class CInstallLog;

// The check of the packages an installation will read, before it changes
// anything: each one's bytes against the SHA-256 the medium command recorded
// in this setup.exe (MediumRecord.h), or, where this setup.exe records
// none, against the package's own check. The packages are read in a thread
// of the check's own, so that a run with windows checks while its first
// dialogs wait for the person; each stays open, shared for reading only,
// until the check goes, so that nobody changes or replaces it between the
// check and the installation.
class CMediumCheck
{
public:
    // How a package came out of the check.
    enum class Outcome
    {
        MatchesRecord,   // its bytes are those the medium recorded
        DiffersFromRecord,
        OwnCheckHolds,   // no record in setup.exe; the package's own check holds
        OwnCheckFails,
        NotChecked,      // neither setup.exe nor the package carries a record of it
        Unreadable,      // it cannot be opened or read (error)
        Stopped,         // the check was ended before it came to the package
    };
    struct Package
    {
        std::string name;
        std::string path;
        Outcome outcome = Outcome::Stopped;
        DWORD error = ERROR_SUCCESS;
        ULONGLONG size = 0;
        BYTE sha256[SHA256_DIGEST_SIZE] = {};
        bool recorded = false;
        RecordedPackage record;
    };

    CMediumCheck() = default;
    ~CMediumCheck() { Stop(); }
    CMediumCheck(const CMediumCheck&) = delete;
    CMediumCheck& operator=(const CMediumCheck&) = delete;

    // Starts checking the platform's two packages in the setup's folder
    // against record. False when no thread can be made: the check then runs
    // in Finish.
    bool Start(const CSetupContext& context, const std::vector<RecordedPackage>& record);
    // Waits for the check (taking this thread's window messages meanwhile,
    // so that a window stays responsive), writes each package's outcome to
    // the log, and for a package that fails shows why. False when the
    // installation must not begin: exitCode is then 1620 for a package
    // whose bytes differ from their record, 1603 for one that cannot be read.
    bool Finish(CSetupContext& context, CInstallLog& log, int& exitCode);

    // Ends a check still under way (at the next piece it reads) and waits
    // for its thread: a run that does not install needs no result. The
    // packages stay held until the check goes.
    void Stop();

    const std::vector<Package>& Packages() const { return m_packages; }
    // How the SHA-256 was computed, and how long the check took.
    const std::string& Way() const { return m_strWay; }
    DWORD Milliseconds() const { return m_nMilliseconds; }

private:
    static DWORD WINAPI ThreadProc(void* parameter);
    static BOOL ReadPiece(DWORD bytes, void* context);
    void CheckAll();
    void CheckOne(Package& package, unique_hfile& file);

    std::vector<Package> m_packages;
    std::vector<unique_hfile> m_files;
    unique_handle m_thread;
    std::atomic<bool> m_stop{false};
    bool m_done = false;
    std::string m_strWay;
    DWORD m_nMilliseconds = 0;
};

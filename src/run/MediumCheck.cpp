#include "run/MediumCheck.h"

#include <cstring>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/MessageWait.h"
#include "framework/SystemCalls.h"
#include "install/PackageInstall.h"
#include "package/PackageCheck.h"
#include "package/FileIo.h"
#include "resources/resource.h"
#include "run/ExitCodes.h"
#include "run/InstallLog.h"
#include "run/SetupSha256.h"

namespace
{
LONGLONG Ticks()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

void CMediumCheck::Stop()
{
    m_stop = true;
    if (m_thread)
        ::WaitForSingleObject(m_thread.get(), INFINITE);
}

bool CMediumCheck::Start(const CSetupContext& context, const std::vector<RecordedPackage>& record)
{
    m_packages.clear();
    // The packages in the order the installation reads them.
    for (const char* name : {RuntimePackageName(context), ApplicationPackageName(context)})
    {
        Package package;
        package.name = name;
        package.path = context.m_strSourceDir + name;
        if (const RecordedPackage* recorded = FindRecordedPackage(record, name))
        {
            package.recorded = true;
            package.record = *recorded;
        }
        m_packages.push_back(package);
    }
    m_files.resize(m_packages.size());
    DWORD id = 0;
    m_thread.reset(::CreateThread(nullptr, 0, ThreadProc, this, 0, &id));
    return static_cast<bool>(m_thread);
}

DWORD WINAPI CMediumCheck::ThreadProc(void* parameter)
{
    static_cast<CMediumCheck*>(parameter)->CheckAll();
    return 0;
}

BOOL CMediumCheck::ReadPiece(DWORD, void* context)
{
    return static_cast<CMediumCheck*>(context)->m_stop ? FALSE : TRUE;
}

void CMediumCheck::CheckAll()
{
    const LONGLONG start = Ticks();
    for (size_t i = 0; i < m_packages.size() && !m_stop; ++i)
        CheckOne(m_packages[i], m_files[i]);
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    m_nMilliseconds = static_cast<DWORD>((Ticks() - start) * 1000 / frequency.QuadPart);
}

void CMediumCheck::CheckOne(Package& package, unique_hfile& file)
{
    // Shared for reading only: nobody writes, renames or deletes it while
    // the check holds it, up to the end of the installation.
    file.reset(CreateFileU(package.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    DWORD sizeHigh = 0;
    const DWORD sizeLow = file ? ::GetFileSize(file.get(), &sizeHigh) : INVALID_FILE_SIZE;
    if (!file || (sizeLow == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR))
    {
        package.outcome = Outcome::Unreadable;
        package.error = ::GetLastError();
        return;
    }
    package.size = (static_cast<ULONGLONG>(sizeHigh) << 32) | sizeLow;

    BYTE check[PACKAGE_CHECK_SIZE] = {};
    if (package.recorded && package.size != package.record.size)
    {
        // Another size is other bytes: nothing to read.
        package.outcome = Outcome::DiffersFromRecord;
        return;
    }
    if (!package.recorded)
    {
        // Without a record, a package whose header carries no check of its
        // own is not read at all.
        static const BYTE none[PACKAGE_CHECK_SIZE] = {};
        if (!SeekTo(file.get(), HEADER_CHECK) || !ReadExact(file.get(), check, PACKAGE_CHECK_SIZE, ERROR_FILE_CORRUPT))
        {
            package.outcome = Outcome::Unreadable;
            package.error = ::GetLastError();
            return;
        }
        if (std::memcmp(check, none, PACKAGE_CHECK_SIZE) == 0)
        {
            package.outcome = Outcome::NotChecked;
            return;
        }
    }

    const std::unique_ptr<ISha256> hash = MakeSetupSha256(m_strWay);
    // With a record, every byte; else every byte but the package's own check.
    if (!HashPackageFile(file.get(), *hash, !package.recorded, check, ReadPiece, this))
    {
        package.error = ::GetLastError();
        package.outcome = package.error == ERROR_CANCELLED ? Outcome::Stopped : Outcome::Unreadable;
        return;
    }
    hash->Final(package.sha256);
    if (package.recorded)
        package.outcome = std::memcmp(package.sha256, package.record.sha256, SHA256_DIGEST_SIZE) == 0
                              ? Outcome::MatchesRecord
                              : Outcome::DiffersFromRecord;
    else
        package.outcome = JudgePackageCheck(check, package.sha256) == PackageCheckState::Intact
                              ? Outcome::OwnCheckHolds
                              : Outcome::OwnCheckFails;
}

bool CMediumCheck::Finish(CSetupContext& context, CInstallLog& log, int& exitCode)
{
    if (!m_done)
    {
        if (m_thread)
            WaitTakingMessages(m_thread.get(), INFINITE);
        else
            CheckAll();
        m_done = true;
    }
    for (const Package& package : m_packages)
    {
        const std::string& name = package.name;
        const std::string size = std::to_string(package.size) + " bytes";
        switch (package.outcome)
        {
        case Outcome::MatchesRecord:
            log.Write("Medium check: " + name + " is the package the medium recorded in setup.exe (" + size +
                      ", SHA-256 " + Sha256Hex(package.sha256) + ").");
            break;
        case Outcome::OwnCheckHolds:
            log.Write("Medium check: this setup.exe records no package; " + name +
                      " was checked against its own SHA-256 only (" + size + ").");
            break;
        case Outcome::NotChecked:
            log.Write("Medium check: " + name +
                      " was not checked: neither this setup.exe nor the package carries a record of it (a medium "
                      "made by hand or by an older tool).");
            break;
        case Outcome::DiffersFromRecord:
        case Outcome::OwnCheckFails:
            if (package.outcome == Outcome::DiffersFromRecord)
                log.Write("Medium check: " + name + " (" + size + (package.size == package.record.size
                                                                         ? ", SHA-256 " + Sha256Hex(package.sha256)
                                                                         : std::string()) +
                          ") is not the package the medium recorded (" + std::to_string(package.record.size) +
                          " bytes, SHA-256 " + Sha256Hex(package.record.sha256) + ").");
            else
                log.Write("Medium check: the bytes of " + name + " are not those its own check was made over.");
            exitCode = EXIT_PACKAGE_INVALID;
            context.ShowMessage(FormatResMessage(IDS_PACKAGE_DAMAGED, {name.c_str()}), MB_OK);
            return false;
        case Outcome::Unreadable:
        case Outcome::Stopped: {
            ::SetLastError(package.outcome == Outcome::Stopped ? ERROR_CANCELLED : package.error);
            const std::string reason = GetLastErrorText();
            exitCode = EXIT_FAILED;
            context.ShowMessage(FormatResMessage(IDS_PACKAGE_OPEN_FAILED, {name.c_str(), reason.c_str()}), MB_OK);
            return false;
        }
        }
    }
    // What the check cost, for anyone who weighs it against the run.
    if (!m_strWay.empty())
        log.Write("Medium check: the packages were read and checked in " + std::to_string(m_nMilliseconds) +
                  " ms with " + m_strWay + ".");
    return true;
}

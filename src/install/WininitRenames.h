#pragma once
#include <string>
#include <vector>

#include "core/BootReplacementQueue.h"

// Windows 9x's queue: each replacement becomes two "[rename]" lines with
// short paths ("NUL=<target>", "<target>=<temporary file>"), which Commit
// merges into WININIT.INI in the Windows folder. A long path in them would be
// misread at start-up (a space ends the name), so a file without both short
// paths is refused.
class CWininitQueue : public IBootReplacementQueue
{
public:
    explicit CWininitQueue(std::string windowsDir) : m_strWindowsDir(std::move(windowsDir)) {}

    bool Queue(const std::string& source, const std::string& target) override;
    // One line, "NUL=<path>".
    bool QueueDeletion(const std::string& path) override;
    bool QueuesAtOnce() const override { return false; }
    bool HasPending() const override { return !m_arrBootRenames.empty(); }
    // Merges the lines into the first "[rename]" section of WININIT.INI (any
    // case), at its end; blank lines inside that section go, every other line
    // stays as it was. Only a missing file counts as empty. The new contents
    // go into a file beside it first, so the old file stays intact whenever
    // the new one cannot be written whole.
    bool Commit() override;
    void Discard() override;
    // Drops the two lines of the replacement from the waiting ones, or else
    // removes them from WININIT.INI (as Commit writes it, the old file
    // intact until the new one is whole). Both files must still exist: the
    // lines name them by their short paths.
    bool Withdraw(const std::string& source, const std::string& target) override;

    // The lines waiting for Commit, in order.
    std::vector<std::string> m_arrBootRenames;

private:
    std::string m_strWindowsDir;
};

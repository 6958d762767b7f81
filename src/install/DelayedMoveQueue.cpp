#include "install/DelayedMoveQueue.h"

#include <windows.h>

#include <vector>

#include "framework/SystemCalls.h"
#include "install/WininitRenames.h"
#include "framework/RegistryKey.h"

namespace
{
constexpr char SESSION_MANAGER_KEY[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char PENDING_RENAMES[] = "PendingFileRenameOperations";

// Whether an entry of the delayed moves names path: they write it as
// \??\C:\... (a target with a leading "!" when the move replaces it).
bool NamesPath(std::string entry, const std::string& path)
{
    if (!entry.empty() && entry[0] == '!')
        entry.erase(0, 1);
    if (entry.compare(0, 4, "\\??\\") == 0)
        entry.erase(0, 4);
    return CompareNamesU(entry, path) == 0;
}
} // namespace

bool CDelayedMoveQueue::Queue(const std::string& source, const std::string& target)
{
    return MoveFileExU(source.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) !=
           FALSE;
}

bool CDelayedMoveQueue::QueueDeletion(const std::string& path)
{
    return MoveFileExU(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool CDelayedMoveQueue::Withdraw(const std::string& source, const std::string& target)
{
    CRegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY))
        return false;
    std::vector<std::string> entries;
    if (!key.QueryMultiString(PENDING_RENAMES, entries))
        return true;
    // Entries come in pairs (a deletion's second one is empty); an odd one
    // more is the empty string that ends the list.
    if (entries.size() % 2 && entries.back().empty())
        entries.pop_back();
    bool found = false;
    for (size_t i = 0; i + 1 < entries.size(); i += 2)
    {
        if (NamesPath(entries[i], source) && NamesPath(entries[i + 1], target))
        {
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i), entries.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            found = true;
            break;
        }
    }
    if (!found)
        return true;
    const LONG result =
        entries.empty() ? key.DeleteValue(PENDING_RENAMES) : key.SetMultiString(PENDING_RENAMES, entries);
    if (result == ERROR_SUCCESS)
        return true;
    ::SetLastError(static_cast<DWORD>(result));
    return false;
}

std::unique_ptr<IBootReplacementQueue> MakeBootReplacementQueue(bool nt, const std::string& windowsDir)
{
    if (nt)
        return std::make_unique<CDelayedMoveQueue>();
    return std::make_unique<CWininitQueue>(windowsDir);
}

#include "install/BootReplacementQueue.h"

#include <windows.h>

#include <vector>

#include "install/WininitRenames.h"
#include "registry/RegistryKey.h"

namespace
{
constexpr char SESSION_MANAGER_KEY[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char PENDING_RENAMES[] = "PendingFileRenameOperations";

// The strings of a REG_MULTI_SZ value, and back.
std::vector<std::string> SplitMultiString(const std::vector<BYTE>& data)
{
    std::vector<std::string> strings;
    std::string current;
    for (const BYTE b : data)
    {
        if (b != 0)
        {
            current += static_cast<char>(b);
            continue;
        }
        strings.push_back(current);
        current.clear();
    }
    if (!current.empty())
        strings.push_back(current);
    // Entries come in pairs (a deletion's second one is empty); an odd one
    // more is the empty string that ends the list.
    if (strings.size() % 2 && strings.back().empty())
        strings.pop_back();
    return strings;
}

std::vector<BYTE> JoinMultiString(const std::vector<std::string>& strings)
{
    std::vector<BYTE> data;
    for (const std::string& text : strings)
    {
        data.insert(data.end(), text.begin(), text.end());
        data.push_back(0);
    }
    data.push_back(0);
    return data;
}

// Whether an entry of the delayed moves names path: they write it as
// \??\C:\... (a target with a leading "!" when the move replaces it).
bool NamesPath(std::string entry, const std::string& path)
{
    if (!entry.empty() && entry[0] == '!')
        entry.erase(0, 1);
    if (entry.compare(0, 4, "\\??\\") == 0)
        entry.erase(0, 4);
    return ::lstrcmpiA(entry.c_str(), path.c_str()) == 0;
}
} // namespace

bool CDelayedMoveQueue::Queue(const std::string& source, const std::string& target)
{
    return ::MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) !=
           FALSE;
}

bool CDelayedMoveQueue::QueueDeletion(const std::string& path)
{
    return ::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool CDelayedMoveQueue::Withdraw(const std::string& source, const std::string& target)
{
    CRegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY))
        return false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (!key.QueryRaw(PENDING_RENAMES, type, data))
        return true;
    std::vector<std::string> entries = SplitMultiString(data);
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
    const LONG result = entries.empty() ? key.DeleteValue(PENDING_RENAMES)
                                        : key.SetRaw(PENDING_RENAMES, REG_MULTI_SZ, JoinMultiString(entries));
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

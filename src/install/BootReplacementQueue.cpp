#include "install/BootReplacementQueue.h"

#include <windows.h>

#include "install/WininitRenames.h"

bool CDelayedMoveQueue::Queue(const std::string& source, const std::string& target)
{
    return ::MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) !=
           FALSE;
}

bool CDelayedMoveQueue::QueueDeletion(const std::string& path)
{
    return ::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

std::unique_ptr<IBootReplacementQueue> MakeBootReplacementQueue(bool nt, const std::string& windowsDir)
{
    if (nt)
        return std::make_unique<CDelayedMoveQueue>();
    return std::make_unique<CWininitQueue>(windowsDir);
}

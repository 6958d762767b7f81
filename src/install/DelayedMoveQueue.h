#pragma once
#include <memory>
#include <string>

#include "core/BootReplacementQueue.h"

// The NT family's queue: one delayed move per file, which replaces the
// target at the next start (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT and
// MOVEFILE_REPLACE_EXISTING), so the target can never be deleted there
// without the new file taking its name.
class CDelayedMoveQueue : public IBootReplacementQueue
{
public:
    bool Queue(const std::string& source, const std::string& target) override;
    bool QueueDeletion(const std::string& path) override;
    bool QueuesAtOnce() const override { return true; }
    bool HasPending() const override { return false; }
    bool Commit() override { return true; }
    void Discard() override {}
    // Removes the pair from the Session Manager's PendingFileRenameOperations.
    bool Withdraw(const std::string& source, const std::string& target) override;
};

// The platform's queue: delayed moves on the NT family, WININIT.INI in
// windowsDir on Windows 9x.
std::unique_ptr<IBootReplacementQueue> MakeBootReplacementQueue(bool nt, const std::string& windowsDir);

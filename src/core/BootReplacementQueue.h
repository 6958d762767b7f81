#pragma once
#include <string>

// The replacements of files in use that Windows carries out at its next
// start. The NT family queues each one at once as a delayed move; Windows 9x
// collects "[rename]" lines and writes them into WININIT.INI when a package
// is complete. The engine sees only this interface, so a test can stand in
// for the system's queue. Nothing here shows a message.
class IBootReplacementQueue
{
public:
    virtual ~IBootReplacementQueue() = default;

    // Queues the replacement of target by source, a complete temporary file
    // beside it. False, with the reason as the last error, when the system
    // refuses; source is then the caller's to delete.
    virtual bool Queue(const std::string& source, const std::string& target) = 0;
    // Queues the deletion of a file at the next start of Windows; false,
    // with the reason as the last error, when the system refuses.
    virtual bool QueueDeletion(const std::string& path) = 0;
    // Whether what Queue and QueueDeletion accepted takes effect at once
    // (delayed moves) or only through Commit (WININIT.INI).
    virtual bool QueuesAtOnce() const = 0;
    // Whether replacements wait for Commit.
    virtual bool HasPending() const = 0;
    // Makes the waiting replacements take effect. False, with the reason as
    // the last error, when they cannot: their temporary files are deleted
    // and nothing of them is queued.
    virtual bool Commit() = 0;
    // Drops the waiting replacements, deleting their temporary files.
    virtual void Discard() = 0;
    // Takes back the replacement of target by source that Queue accepted (in
    // this run, or in one that was killed), waiting or queued already; source
    // stays the caller's. True when none is queued any more; false, with the
    // reason as the last error, when it cannot be taken back.
    virtual bool Withdraw(const std::string& source, const std::string& target) = 0;
};

#include "core/InstallEvents.h"

const char* DescribeFileOutcome(FileOutcome outcome)
{
    switch (outcome)
    {
    case FileOutcome::WrittenNew: return "written new";
    case FileOutcome::Replaced: return "replaced";
    case FileOutcome::KeptSameVersion: return "kept (same version)";
    case FileOutcome::KeptInstalledNewer: return "kept (installed one newer)";
    case FileOutcome::KeptAnsweredNo: return "kept (answered No)";
    case FileOutcome::KeptCancelled: return "kept (answered Cancel)";
    case FileOutcome::QueuedForRestart: return "queued for restart";
    case FileOutcome::Failed: return "failed";
    case FileOutcome::Deferred: return "to be replaced";
    }
    return "failed";
}

#pragma once
#include <string>

class CSetupContext;

// The installation's folder layout below the context's install folder (the
// folder itself, "\Programs", "\Configuration", "\Configuration\Machine",
// "\Logs", "\Documents"), after the missing folders above it; each path is
// shown on the status line before it is made. Message 20012 and false at the
// first folder that cannot be made.
bool CreateInstallFolders(CSetupContext& context);
// Makes one folder (an existing one counts as made).
bool CreateFolder(CSetupContext& context, const std::string& path);

#pragma once
#include <windows.h>

#include "core/UserPrompts.h"

// The message box service of real runs: caption "Setup", the exclamation
// icon on OK, OK/Cancel, Yes/No and Yes/No/Cancel boxes that name no icon,
// owned by the application's main window or else by the active window.
class CWindowPrompts : public IUserPrompts
{
public:
    int ShowMessageBox(const std::string& text, unsigned type) override;
    // Shows DLG_ReplaceFile modally, owned like the message boxes.
    ReplaceAnswer AskReplaceFile(const std::string& question) override;
};

// The box type actually shown for a requested type (adds the default icon).
UINT MessageBoxTypeWithIcon(UINT type);

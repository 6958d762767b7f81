#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "app/UserPrompts.h"

// The system's text for the calling thread's last error, exactly as the
// system gives it (with its closing line break); "" when it has none. Call it
// right after the failing call, before anything else can change the code.
std::string GetLastErrorText();

// Loads string templateId and fills its placeholders (%1..%9, %A..%Z) with
// args; "" when the string cannot be loaded.
std::string FormatResMessage(UINT templateId, const std::vector<const char*>& args);

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

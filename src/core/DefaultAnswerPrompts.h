#pragma once
#include "core/UserPrompts.h"

// Prompts that nobody sees: every message box is answered with its default
// button (OK, or the first of Yes/No and Yes/No/Cancel unless the type names
// the second or third as default), the replace question with its default
// button, Yes. An unattended run and a context without prompts of its own
// answer so.
class CDefaultAnswerPrompts : public IUserPrompts
{
public:
    int ShowMessageBox(const std::string& text, unsigned type) override;
    ReplaceAnswer AskReplaceFile(const std::string& question) override;
};

// The button a message box of the given type has as its default.
int DefaultButtonOf(unsigned type);

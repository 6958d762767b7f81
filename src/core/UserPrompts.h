#pragma once
#include <string>

// The four answers to the question whether an existing file is replaced.
enum class ReplaceAnswer
{
    Yes,      // replace this file
    YesToAll, // replace this one and every later file without asking again
    No,       // keep this file and go on
    Cancel,   // keep this file and stop the installation
};

// Everything the setup's steps ask or tell the user goes through this seam:
// the real implementation shows windows, tests script the answers and record
// what was shown.
class IUserPrompts
{
public:
    virtual ~IUserPrompts() = default;

    // A message box captioned with the application title; returns the
    // button pressed (IDOK, IDYES, IDNO, ...).
    virtual int ShowMessageBox(const std::string& text, unsigned type) = 0;

    // The "Replace File" question with the prepared text; returns the
    // button pressed (closing the question counts as Cancel).
    virtual ReplaceAnswer AskReplaceFile(const std::string& question) = 0;
};

#pragma once
#include <string>

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
};

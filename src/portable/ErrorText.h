#pragma once
#include <string>

#include "portable/Win32Api.h"

// The system's text for a Win32 error number, without a trailing line break:
// FormatMessage's text on Windows, the same texts from our own table elsewhere.
std::string GetErrorText(DWORD dwError);

#ifdef _WIN32
// The system's text for a Win32 error number in UTF-8, exactly as the system
// gives it (with its closing line break); "" when it has none.
std::string SystemMessageText(DWORD dwError);
#endif

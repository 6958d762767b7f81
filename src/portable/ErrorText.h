#pragma once
#include <string>

#include "portable/Win32Api.h"

// The system's text for a Win32 error number, without a trailing line break:
// FormatMessage's text on Windows, the same texts from our own table elsewhere.
std::string GetErrorText(DWORD dwError);

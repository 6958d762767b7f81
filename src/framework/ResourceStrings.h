#pragma once
#include <windows.h>

#include <string>

// Loads string resource id of the running program (at most 255 characters,
// the longest a template may be). An id of 0 or a missing string gives "".
std::string LoadResString(UINT id);

#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The system's text for the calling thread's last error, exactly as the
// system gives it (with its closing line break); "" when it has none. Call it
// right after the failing call, before anything else can change the code.
std::string GetLastErrorText();

// Loads string templateId and fills its placeholders (%1..%9, %A..%Z) with
// args; "" when the string cannot be loaded.
std::string FormatResMessage(UINT templateId, const std::vector<const char*>& args);

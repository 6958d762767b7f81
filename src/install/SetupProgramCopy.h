#pragma once
#include <string>

class CSetupContext;

// The full path of the running program.
std::string RunningProgramPath();

// Copies the running program to the install folder's "Setup\setup.exe",
// where the entry in Windows' list of programs starts it to remove the
// installation (it needs no packages for that). The copy goes into a
// temporary file in that folder, which then takes the name, so a copy that
// fails leaves the earlier one whole. Message 20150 and false on failure.
bool InstallSetupProgram(CSetupContext& context);

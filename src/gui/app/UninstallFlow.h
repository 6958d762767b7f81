#pragma once

class CSetupContext;

// Removes the recorded installation in the uninstall window, which owns the
// messages of the stages and shows their log, and ends with the closing
// message. False when no installation is recorded (nothing is shown) or the
// window cannot be made.
bool RunUninstall(CSetupContext& context);

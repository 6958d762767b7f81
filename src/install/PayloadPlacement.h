#pragma once
#include <string>

#include "core/ImageMachine.h"

class CSetupContext;
class CPackageFile;

// Each file the setup puts into the system folder or registers is placed by
// its own machine type, whichever build of the setup runs: a 32-bit library
// into the 32-bit system folder (SysWOW64 on 64-bit Windows), a 64-bit one
// into the 64-bit System32. A file that is no executable image goes with the
// package's images (into the native System32 when they disagree or there
// are none).

// Reads the machine type of every file of the runtime package and of the
// OLE control in the application package, and sets the context's runtime
// folders. False, after its message, when one is built for a kind of
// processor this Windows does not run (a 64-bit file on 32-bit Windows or on
// Windows 9x): nothing has been changed then. A package that cannot be read
// is left to the step that installs it.
bool PlanPayload(CSetupContext& context);

// The machine type of a File entry's data, from its first bytes;
// NotAnImage when they tell of none or cannot be read.
ImageMachine EntryMachine(CPackageFile& package, int index);

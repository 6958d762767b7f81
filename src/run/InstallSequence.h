#pragma once

class CSetupContext;

// The install sequence: the check that the drives have room for it (before
// anything is written), folders, packages, registry records with the
// font-mapping tables, shortcuts, components, the OLE control, the setup
// program's installed copy with the entry in Windows' list of programs,
// then the folder rights. Each step reports its stage on the context's progress,
// shows its own message when it fails and returns false; the first false
// ends the sequence and nothing done before it is undone. The folder rights
// report nothing and do not decide the result.
bool RunInstall(CSetupContext& context);
// The components stage: it announces itself and has nothing else to do.
bool RegisterComponents(CSetupContext& context);

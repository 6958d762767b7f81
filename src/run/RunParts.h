#pragma once
#include <memory>

#include "install/OleRegistration.h"
#include "undo/UndoJournal.h"

class CSetupContext;

// The objects one run works with, made here and nowhere else, and wired into
// the run's context as its seams: the undo journal, the platform's boot-time
// queue (delayed moves on the NT family, WININIT.INI on Windows 9x; made at
// its first use, once the run knows the Windows folder), the folder-rights
// writer and the control registrar. The application makes one beside its
// context; a test makes its own, and may set stand-ins over its seams.
class CRunParts
{
public:
    explicit CRunParts(CSetupContext& context);
    // Takes back from the context what it wired in.
    ~CRunParts();
    CRunParts(const CRunParts&) = delete;
    CRunParts& operator=(const CRunParts&) = delete;

    CUndoJournal& Journal() { return m_journal; }
    // The seams an undo or a commit works through: the context's, whatever
    // stands in for them now.
    UndoSeams Seams() const;

private:
    class CPlatformBootQueue;

    CSetupContext& m_context;
    CUndoJournal m_journal;
    std::unique_ptr<CPlatformBootQueue> m_pBootQueue;
    CSystemControlRegistrar m_controls;
};

#pragma once
#include <memory>
#include <string>

#include "package/Sha256.h"

// The quickest SHA-256 this machine offers the setup: the processor's SHA
// instructions through our own code where it has them; else the system's
// (BCrypt, Windows Vista and later, which uses whatever the processor has);
// else our portable code (Windows 9x and NT before Vista, which have no
// SHA-256 of their own that every version shares). way names it for the
// log.
std::unique_ptr<ISha256> MakeSetupSha256(std::string& way);

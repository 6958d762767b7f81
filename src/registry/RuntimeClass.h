#pragma once
// The registry classes use the one run-time class facility of the program,
// the package library's: two definitions of CObject in one program would
// break the one-definition rule (and the link).
#include "package/RuntimeClass.h"

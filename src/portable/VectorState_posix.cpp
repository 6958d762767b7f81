#include "portable/VectorState.h"

// Every system this builds natively for saves them.
bool SystemSavesVectorRegisters() { return true; }

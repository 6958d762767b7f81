#pragma once
// The registry classes share the one run-time class facility of the package
// library: two definitions of CObject in one program break the one-definition
// rule (both define CObject::classCObject, and the linker refuses).
#include "package/RuntimeClass.h"

#pragma once
// Whether the system keeps the processor's SSE registers across thread
// switches, so that a program may use them (and the instructions that work
// on them, such as the SHA ones). Windows 95 and NT 4.0 do not; the
// processor cannot tell.
bool SystemSavesVectorRegisters();

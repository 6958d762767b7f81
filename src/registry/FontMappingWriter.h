#pragma once

class CSetupContext;

// Writes the Unicode font-mapping tables under HKEY_LOCAL_MACHINE, one key
// per typeface; the status line says so. Registry failures are not reported
// and the step always succeeds.
bool WriteFontMappings(CSetupContext& context);

#include "app/SetupApp.h"

bool CSetupVantrelApp::RunUninstall() { return false; }

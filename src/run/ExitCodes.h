#pragma once
#include <windows.h>

// The process exit codes of a run, the ones Windows Installer uses and
// deployment tools read.
constexpr int EXIT_DONE = ERROR_SUCCESS;                           // 0
constexpr int EXIT_RESTART_NEEDED = ERROR_SUCCESS_REBOOT_REQUIRED; // 3010: done, restart needed and not made
constexpr int EXIT_RESTART_STARTED = ERROR_SUCCESS_REBOOT_INITIATED; // 1641: done, the restart is under way
constexpr int EXIT_LEFT = ERROR_INSTALL_USEREXIT;                  // 1602: the person left
constexpr int EXIT_FAILED = ERROR_INSTALL_FAILURE;                 // 1603: failed
constexpr int EXIT_NEWER_INSTALLED = ERROR_PRODUCT_VERSION;        // 1638: a newer build is installed
constexpr int EXIT_ALREADY_RUNNING = ERROR_INSTALL_ALREADY_RUNNING; // 1618: another setup is running
constexpr int EXIT_PACKAGE_INVALID = ERROR_INSTALL_PACKAGE_INVALID; // 1620: a package of the medium is damaged
constexpr int EXIT_BAD_COMMAND_LINE = ERROR_INVALID_COMMAND_LINE;  // 1639: /? or a switch not understood

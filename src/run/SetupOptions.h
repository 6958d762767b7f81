#pragma once
#include <string>
#include <vector>

// What the command line asks of a run. Switches are case-insensitive and
// start with '/' or '-':
//   /S               no window and no question (an unattended run)
//   /PASSIVE         an unattended run that shows its progress and its end:
//                    silent is set too, and every answer, exit code and log
//                    line is that of /S
//   /DIR="FOLDER"    the folder of a new installation
//   /UNINSTALL       removal instead of installation
//   /LOG="FILE"      write the run's log to FILE (appended)
//   /NORESTART       never restart, and never ask to
//   /?               the list of switches
// Without arguments every field keeps its default: the run is the one of the
// dialogs.
struct SetupOptions
{
    bool silent = false;
    bool passive = false;
    bool uninstall = false;
    bool noRestart = false;
    bool help = false;
    bool hasDir = false;
    std::string dir;
    bool hasLog = false;
    std::string log;
    // The first argument that is no switch of the list, "" when all were.
    std::string unknown;
    // The command line after the program's name, as it was given.
    std::string arguments;

    // Whether the run goes on: false for /? and for anything unknown.
    bool Valid() const { return !help && unknown.empty(); }
};

// The arguments after the program's name, split as the command line of a
// Windows program is: blanks separate, a double quote starts or ends a quoted
// part anywhere in an argument (so /DIR="C:\My Apps" and "/DIR=C:\My Apps"
// are the same), and every backslash stands for itself, since a folder
// ending in a backslash is no reason to lose the quote after it.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Reads the switches of a whole command line (the program's name first).
SetupOptions ParseCommandLine(const std::string& commandLine);

#pragma once
// Package files and held files for the tests of the file installation
// engine: packages are written with the package library itself, and a file
// is held open by a separate process, as an application in use holds it.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"

// One entry of a test package.
struct TestEntry
{
    std::wstring name;
    LONG kind = 0; // entryFile
    std::string data;
    FILETIME creation{};
    FILETIME lastWrite{};
    ULONGLONG version = 0;
};

// A File entry with the given contents and times (seconds after the epoch of
// 1601, so every field differs from "now").
TestEntry FileEntry(const std::wstring& name, const std::string& data, ULONGLONG creationSeconds = 13000000000ULL,
                    ULONGLONG lastWriteSeconds = 13100000000ULL);
TestEntry KindEntry(const std::wstring& name, LONG kind);

FILETIME FileTimeFromSeconds(ULONGLONG seconds);
ULONGLONG FileTimeValue(const FILETIME& time);

// Writes a package at path (replacing any file there); build is patched into
// the header when it differs from the setup's own. False on failure.
bool WriteTestPackage(const std::string& path, bool compressed, const std::vector<TestEntry>& entries,
                      LONG build = 2093);
// Changes the recorded uncompressed size of entry index by delta.
bool ChangeRecordedSize(const std::string& path, int index, LONG delta);

// The file's creation and last-write times; false when it cannot be opened.
bool GetFileTimes(const std::string& path, FILETIME& creation, FILETIME& lastWrite);

// Another process that holds a file open until Release or destruction, or
// for a given time.
class CFileHolder
{
public:
    enum class Sharing
    {
        None,   // nobody else may open, rename or delete the file
        Delete, // others may delete it; its name stays taken while held
    };

    CFileHolder() = default;
    ~CFileHolder() { Release(); }
    CFileHolder(const CFileHolder&) = delete;
    CFileHolder& operator=(const CFileHolder&) = delete;

    // Starts hold_file.exe (beside the test program) on path; true once it
    // holds the file. With milliseconds it lets the file go by itself after
    // that long.
    bool Hold(const std::string& path, Sharing sharing = Sharing::None, DWORD milliseconds = INFINITE);
    void Release();

private:
    unique_handle m_process;
    std::string m_signal;
};

// The strings of HKLM\...\Session Manager PendingFileRenameOperations, and
// writing them back (an empty list deletes the value).
std::vector<std::string> ReadPendingRenames();
void WritePendingRenames(const std::vector<std::string>& strings);

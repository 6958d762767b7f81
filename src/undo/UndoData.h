#pragma once
#include <windows.h>

#include <string>

#include "framework/Handles.h"

// Where a file's earlier contents lie in the undo data.
struct SavedBytes
{
    ULONGLONG offset = 0;
    DWORD length = 0;
    DWORD crc = 0; // CRC-32 of the bytes, so that bytes a power cut lost are known
};

// The earlier contents of the small files a run overwrites in place, one
// after another in one file written sequentially (or in memory, before the
// run keeps its journal on disk). Flushed once for a whole batch of files
// before any of them is overwritten; deleted when the run ends.
class CUndoData
{
public:
    // From now on the contents go into a new file at path; false, with the
    // reason as the last error, when it cannot be made.
    bool Create(const std::string& path);
    // Reads back the data file a killed run left at path.
    bool Open(const std::string& path);
    const std::string& Path() const { return m_strPath; }

    // Appends the contents of the open file, from its start to its end (at
    // most limit bytes: more fails with ERROR_FILE_TOO_LARGE); false, with
    // the reason as the last error, when they cannot be read or kept.
    bool Append(HANDLE source, DWORD limit, SavedBytes& saved);
    // Makes everything appended durable; false, with the reason as the last
    // error.
    bool Flush();
    // The bytes kept as saved, checked against their CRC: false, with
    // ERROR_FILE_CORRUPT, when they are missing or differ (a power cut took
    // them before they were flushed, so their file was never overwritten).
    bool Read(const SavedBytes& saved, std::string& bytes) const;

    // Closes and deletes the file (a file still in use: false).
    bool Remove();
    void Close();

private:
    unique_hfile m_file;
    std::string m_strPath;
    ULONGLONG m_nEnd = 0;
    bool m_bDirty = false;
    // The contents before the data are kept on disk.
    std::string m_memory;
};

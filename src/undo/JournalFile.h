#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"

// One entry of the journal: what kind of change, and the fields that say how
// to undo it (paths, registry data), in the order the change's kind defines.
struct JournalRecord
{
    std::string kind;
    std::vector<std::string> fields;
};

// The undo journal on disk: a text file of one record per line, fields
// separated by tabs (a tab, line break or percent sign inside a field is
// written as %09, %0A, %0D or %25), after a first line that names the format.
// Each record is written with one WriteFile before the change it describes,
// so that it outlives a process that is killed; a durable record is also
// flushed to the disk, so that it outlives a power cut. A line without its
// line break is the record of a change that never began, and reading ignores
// it.
class CJournalFile
{
public:
    // Makes a new journal at path; false, with the reason as the last error,
    // when one is there already or it cannot be written.
    bool Create(const std::string& path);
    bool IsOpen() const { return static_cast<bool>(m_file); }
    const std::string& Path() const { return m_strPath; }

    // Appends the record; false, with the reason as the last error, when it
    // could not be written (or, for a durable one, flushed).
    bool Append(const JournalRecord& record, bool durable);
    // Flushes what was appended to the disk.
    bool Flush() { return ::FlushFileBuffers(m_file.get()) != FALSE; }
    // Closes and deletes the journal; false when it could not be deleted.
    bool Remove();

    // Reads the records of the journal at path (none when even its first line
    // was cut off as it was made). False, with the reason as the last error,
    // when it cannot be read, or is no journal of this format
    // (ERROR_FILE_CORRUPT).
    static bool Read(const std::string& path, std::vector<JournalRecord>& records);

    // The text of one record's line (without the line break), and back.
    static std::string Encode(const JournalRecord& record);
    static JournalRecord Decode(const std::string& line);

private:
    unique_hfile m_file;
    std::string m_strPath;
};

#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "framework/Handles.h"

class CSetupContext;
class CPackageFile;
class CPackageCatalogEntry;
class CDurableWrites;

// Replaces small files in place, a batch at a time, with one flush for the
// whole batch (a group commit, as databases do). As a file joins the batch
// its earlier contents go into the journal's undo data and the entry's new
// contents into memory; once the batch is full, or the package ends, the
// journal makes them durable with one flush of each of its files, and only
// then is each file overwritten, in the order they came. An undo, also the
// next start's after a kill or a power cut, writes the earlier contents back.
// Each file's outcome is reported through the context's events when it is
// written.
class CReplacementBatch
{
public:
    // Files above this size are set aside by rename instead: copying their
    // earlier contents would cost more than it saves.
    static constexpr DWORD SMALL_FILE_LIMIT = 1024 * 1024;

    CReplacementBatch(CSetupContext& context, CDurableWrites& durable) : m_context(context), m_durable(durable) {}
    CReplacementBatch(const CReplacementBatch&) = delete;
    CReplacementBatch& operator=(const CReplacementBatch&) = delete;

    enum class AddResult
    {
        Added,   // waits in the batch (or was written with it)
        NotKept, // its earlier contents could not be read: replace it another way
        Failed,  // the installation stops; the reason was shown
    };
    // Takes the existing file at target, open for reading and writing, to be
    // overwritten by the entry.
    AddResult Add(unique_hfile file, const std::string& target, CPackageFile& package,
                  const CPackageCatalogEntry& entry, int index);
    // Writes the files waiting; false, after its message, when the
    // installation is to stop (the files not yet written stay as they were).
    bool Flush();
    // Whether the file at target waits in the batch.
    bool Holds(const std::string& target) const;

private:
    static constexpr size_t MAX_FILES = 256;
    static constexpr size_t MAX_BYTES = 8 * 1024 * 1024;

    struct Item
    {
        unique_hfile file;
        std::string target;
        std::string contents;
        FILETIME creation;
        FILETIME lastWrite;
    };
    bool Write(Item& item);
    bool Fail(const std::string& target, const std::string& message);

    CSetupContext& m_context;
    CDurableWrites& m_durable;
    std::vector<Item> m_items;
    std::set<std::string> m_targets; // upper case
    size_t m_nBytes = 0;
};

#include "install/ReplacementBatch.h"

#include <memory>

#include "core/ChangeJournal.h"
#include "core/Messages.h"
#include "core/SetupContext.h"
#include "install/DurableWrites.h"
#include "package/PackageFile.h"
#include "resources/resource.h"

namespace
{
// An entry's contents in memory, in one piece of their whole size.
class CStringSink : public CPackageSink
{
public:
    explicit CStringSink(std::string& out, DWORD size) : m_out(out) { m_out.reserve(size); }
    BYTE* LendBuffer(DWORD& nSize) override
    {
        nSize = sizeof m_piece;
        return m_piece;
    }
    BOOL TakeBack(DWORD nCount) override
    {
        m_out.append(reinterpret_cast<const char*>(m_piece), nCount);
        return TRUE;
    }

private:
    std::string& m_out;
    BYTE m_piece[64 * 1024];
};

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}
} // namespace

bool CReplacementBatch::Holds(const std::string& target) const { return m_targets.count(Upper(target)) != 0; }

bool CReplacementBatch::Fail(const std::string& target, const std::string& message)
{
    m_context.ShowMessage(message, MB_OK);
    m_context.Events().FileDone(FileOutcome::Failed, target, message);
    return false;
}

CReplacementBatch::AddResult CReplacementBatch::Add(unique_hfile file, const std::string& target,
                                                    CPackageFile& package, const CPackageCatalogEntry& entry,
                                                    int index)
{
    Item item;
    item.target = target;
    // The new contents first: an entry that cannot be read changes nothing.
    std::unique_ptr<CStringSink> sink(new CStringSink(item.contents, entry.GetUncompressedSize()));
    if (!package.ExtractContents(index, *sink))
    {
        const std::string reason = GetLastErrorText();
        Fail(target, FormatResMessage(IDS_PACKAGE_READ_FAILED, {reason.c_str()}));
        return AddResult::Failed;
    }
    FILETIME creation{}, lastAccess{}, lastWrite{};
    if (!::GetFileTime(file.get(), &creation, &lastAccess, &lastWrite))
        return AddResult::NotKept;
    IChangeJournal& journal = m_context.Journal();
    if (!journal.SaveContents(target, file.get(), SMALL_FILE_LIMIT, creation, lastWrite))
    {
        if (!journal.Failed())
            return AddResult::NotKept;
        Fail(target, JournalFailureMessage(m_context));
        return AddResult::Failed;
    }
    const PackageFileInfo info = entry.GetFileInfo();
    item.creation = info.ftCreation;
    item.lastWrite = info.ftLastWrite;
    item.file = std::move(file);
    m_nBytes += item.contents.size();
    m_targets.insert(Upper(target));
    m_items.push_back(std::move(item));
    if (m_items.size() < MAX_FILES && m_nBytes < MAX_BYTES)
        return AddResult::Added;
    return Flush() ? AddResult::Added : AddResult::Failed;
}

bool CReplacementBatch::Write(Item& item)
{
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(item.contents.size());
    const bool ok = ::SetFilePointer(item.file.get(), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                    (size == 0 || ::WriteFile(item.file.get(), item.contents.data(), size, &written, nullptr)) &&
                    written == size && ::SetEndOfFile(item.file.get()) &&
                    ::SetFileTime(item.file.get(), &item.creation, nullptr, &item.lastWrite);
    if (!ok)
    {
        if (::GetLastError() == ERROR_SUCCESS)
            ::SetLastError(ERROR_WRITE_FAULT);
        const std::string reason = GetLastErrorText();
        return Fail(item.target, FormatResMessage(IDS_FILE_WRITE_FAILED, {reason.c_str()}));
    }
    m_context.Events().FileDone(FileOutcome::Replaced, item.target, std::string());
    m_durable.Hand(std::move(item.file), item.target);
    return true;
}

bool CReplacementBatch::Flush()
{
    std::vector<Item> items;
    items.swap(m_items);
    m_targets.clear();
    m_nBytes = 0;
    if (items.empty())
        return true;
    // The group commit: every earlier contents of the batch on the disk
    // before any file of it changes.
    if (!m_context.Journal().Sync())
        return Fail(items.front().target, JournalFailureMessage(m_context));
    for (Item& item : items)
        if (!Write(item))
            return false;
    return true;
}

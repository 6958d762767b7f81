#include "TestPackages.h"

#include "package/PackageFile.h"

namespace
{
constexpr char SESSION_MANAGER[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char PENDING_RENAMES[] = "PendingFileRenameOperations";

bool PatchLE32(const std::string& path, DWORD offset, DWORD value)
{
    unique_hfile file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file || ::SetFilePointer(file.get(), static_cast<LONG>(offset), nullptr, FILE_BEGIN) != offset)
        return false;
    const BYTE bytes[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes, 4, &written, nullptr) && written == 4;
}

bool ReadLE32(const std::string& path, DWORD offset, DWORD& value)
{
    unique_hfile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    BYTE bytes[4];
    DWORD read = 0;
    if (!file || ::SetFilePointer(file.get(), static_cast<LONG>(offset), nullptr, FILE_BEGIN) != offset ||
        !::ReadFile(file.get(), bytes, 4, &read, nullptr) || read != 4)
        return false;
    value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (DWORD(bytes[3]) << 24);
    return true;
}

std::string ProgramFolder()
{
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length);
    return text.substr(0, text.rfind('\\') + 1);
}
} // namespace

FILETIME FileTimeFromSeconds(ULONGLONG seconds)
{
    const ULONGLONG value = seconds * 10000000ULL;
    return FILETIME{DWORD(value), DWORD(value >> 32)};
}

ULONGLONG FileTimeValue(const FILETIME& time) { return (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

TestEntry FileEntry(const std::wstring& name, const std::string& data, ULONGLONG creationSeconds,
                    ULONGLONG lastWriteSeconds)
{
    TestEntry entry;
    entry.name = name;
    entry.data = data;
    entry.creation = FileTimeFromSeconds(creationSeconds);
    entry.lastWrite = FileTimeFromSeconds(lastWriteSeconds);
    return entry;
}

TestEntry KindEntry(const std::wstring& name, LONG kind)
{
    TestEntry entry;
    entry.name = name;
    entry.kind = kind;
    return entry;
}

bool WriteTestPackage(const std::string& path, bool compressed, const std::vector<TestEntry>& entries, LONG build)
{
    ::DeleteFileA(path.c_str());
    CPackageFile package;
    if (!package.Create(path.c_str(), compressed))
        return false;
    for (const TestEntry& item : entries)
    {
        CPackageCatalogEntry entry;
        const BYTE block[CONFIGOBJ_BLOCK_SIZE] = {};
        switch (item.kind)
        {
        case entryFile: entry.SetFile(item.name.c_str(), item.creation, item.lastWrite, item.version); break;
        case entryDirectory: entry.SetDirectory(item.name.c_str()); break;
        case entryConfigObj: entry.SetConfigObj(item.name.c_str(), 0, block, 0, 0); break;
        default: entry.SetLexiconSeg(item.name.c_str()); break;
        }
        const BOOL added = item.data.empty() && item.kind != entryFile
                               ? package.AddFromMemory(entry, nullptr, 0)
                               : package.AddFromMemory(entry, item.data.data(), DWORD(item.data.size()));
        if (!added)
        {
            package.Discard();
            return false;
        }
    }
    if (!package.Commit())
    {
        package.Discard();
        return false;
    }
    return build == PACKAGE_BUILD || PatchLE32(path, HEADER_BUILD, DWORD(build));
}

bool ChangeRecordedSize(const std::string& path, int index, LONG delta)
{
    DWORD catalog = 0;
    DWORD size = 0;
    if (!ReadLE32(path, HEADER_CATALOG_OFFSET, catalog))
        return false;
    const DWORD field = catalog + CATALOG_HEAD_SIZE + DWORD(index) * PACKAGE_RECORD_SIZE + RECORD_UNCOMPRESSED_SIZE;
    return ReadLE32(path, field, size) && PatchLE32(path, field, DWORD(LONG(size) + delta));
}

bool GetFileTimes(const std::string& path, FILETIME& creation, FILETIME& lastWrite)
{
    unique_hfile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return file && ::GetFileTime(file.get(), &creation, nullptr, &lastWrite);
}

bool CFileHolder::Hold(const std::string& path, Sharing sharing, DWORD milliseconds)
{
    Release();
    m_signal = path + ".held";
    ::DeleteFileA(m_signal.c_str());
    std::string command = "\"" + ProgramFolder() + "hold_file.exe\" \"" + path + "\" \"" + m_signal + "\" " +
                          (sharing == Sharing::Delete ? "share-delete" : "exclusive");
    if (milliseconds != INFINITE)
        command += " " + std::to_string(milliseconds);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    unique_handle thread(info.hThread);
    m_process.reset(info.hProcess);
    for (int i = 0; i < 400; ++i)
    {
        if (::GetFileAttributesA(m_signal.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        if (::WaitForSingleObject(m_process.get(), 25) == WAIT_OBJECT_0)
            return false;
    }
    return false;
}

void CFileHolder::Release()
{
    if (!m_process)
        return;
    ::DeleteFileA(m_signal.c_str());
    if (::WaitForSingleObject(m_process.get(), 10000) != WAIT_OBJECT_0)
        ::TerminateProcess(m_process.get(), 1);
    m_process.reset();
}

std::vector<std::string> ReadPendingRenames()
{
    std::vector<std::string> strings;
    unique_hkey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return strings;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), PENDING_RENAMES, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return strings;
    std::vector<char> data(size + 2, '\0');
    if (::RegQueryValueExA(key.get(), PENDING_RENAMES, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return strings;
    // Pairs of strings; the list ends with an empty string after the last
    // pair, and a pair's second string may itself be empty (a deletion).
    size_t pos = 0;
    while (pos < size)
    {
        const std::string text(data.data() + pos);
        pos += text.size() + 1;
        if (text.empty() && strings.size() % 2 == 0)
            break;
        strings.push_back(text);
    }
    return strings;
}

void WritePendingRenames(const std::vector<std::string>& strings)
{
    unique_hkey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
        return;
    if (strings.empty())
    {
        ::RegDeleteValueA(key.get(), PENDING_RENAMES);
        return;
    }
    std::string data;
    for (const std::string& text : strings)
        data += text + '\0';
    data += '\0';
    ::RegSetValueExA(key.get(), PENDING_RENAMES, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                     DWORD(data.size()));
}

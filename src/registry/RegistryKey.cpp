#include "registry/RegistryKey.h"

#include "framework/SystemLibrary.h"

#include <cstdlib>
#include <cstring>

const CRuntimeClass CRegistryKey::classCRegistryKey = {"CRegistryKey", &CObject::classCObject};

static_assert(CRegistryKey::DefaultAccess == 0x2001F, "KEY_READ | KEY_WRITE");

namespace
{
// QueryString's first query learns the size; the second asks for this much
// more, so that a value that grew a little in between still fits.
constexpr DWORD STRING_SIZE_PROBE = 256;
constexpr DWORD STRING_SIZE_SLACK = 16;
// Buffers of the public enumerations, in characters.
constexpr DWORD ENUM_NAME_LENGTH = 512;
// DeleteContents reads names into this much first. Key names always fit; a
// value name may be up to 16383 characters, which in a double-byte code page
// can take twice as many bytes, so a longer name is read again into a buffer
// that holds any name rather than skipped: a skipped value would stay behind
// and keep its key from being deleted.
constexpr DWORD WALK_NAME_LENGTH = 256;
constexpr DWORD LONGEST_NAME_LENGTH = 2 * 16383 + 1;

LONG EnumNameAt(HKEY key, DWORD index, bool values, std::string& buffer)
{
    DWORD length = static_cast<DWORD>(buffer.size());
    if (values)
        return ::RegEnumValueA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    FILETIME ignored;
    return ::RegEnumKeyExA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, &ignored);
}

// The names of all values or of all subkeys of key. The walk ends at the
// first result other than success: ERROR_NO_MORE_ITEMS normally, but also the
// error of a null or unreadable key, which would otherwise never end it.
std::vector<std::string> CollectNames(HKEY key, bool values)
{
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index)
    {
        std::string buffer(WALK_NAME_LENGTH, '\0');
        LONG result = EnumNameAt(key, index, values, buffer);
        if (result == ERROR_MORE_DATA)
        {
            buffer.assign(LONGEST_NAME_LENGTH, '\0');
            result = EnumNameAt(key, index, values, buffer);
        }
        if (result != ERROR_SUCCESS)
            break;
        names.emplace_back(buffer.c_str());
    }
    return names;
}
} // namespace

REGSAM CRegistryKey::SharedView()
{
    // A 32-bit program on 64-bit Windows sees HKLM\\Software through
    // Wow6432Node unless it asks for the 64-bit view. Both builds of the setup
    // ask for it, so each finds (and removes) what the other recorded.
    // Elsewhere there is one view and no flag (Windows 2000 and 9x do not
    // know it).
    static const REGSAM view = [] {
        using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
        const auto isWow64 = Kernel32Function<IsWow64ProcessFn>("IsWow64Process");
        BOOL wow64 = FALSE;
        return isWow64 && isWow64(::GetCurrentProcess(), &wow64) && wow64 ? REGSAM(KEY_WOW64_64KEY) : REGSAM(0);
    }();
    return view;
}

LONG CRegistryKey::DeleteKeyInView(HKEY parent, const char* name)
{
    using RegDeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    static const auto deleteKeyEx = reinterpret_cast<RegDeleteKeyExFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA")));
    if (SharedView() != 0 && deleteKeyEx)
        return deleteKeyEx(parent, name, SharedView(), 0);
    return ::RegDeleteKeyA(parent, name);
}

CRegistryKey::CRegistryKey(HKEY key)
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(key, nullptr, 0, DefaultAccess, &opened) == ERROR_SUCCESS)
        m_hKey.reset(opened);
}

void CRegistryKey::Create(HKEY parent, const char* subKey, DWORD options, REGSAM access,
                          LPSECURITY_ATTRIBUTES security)
{
    char emptyClass[] = "";
    HKEY created = nullptr;
    DWORD disposition;
    const LONG result =
        ::RegCreateKeyExA(parent, subKey, 0, emptyClass, options, access | SharedView(), security, &created,
                          &disposition);
    // Created before the old key is closed, so parent may be the held key.
    m_hKey.reset(result == ERROR_SUCCESS ? created : nullptr);
    if (result != ERROR_SUCCESS)
        ::SetLastError(static_cast<DWORD>(result));
}

BOOL CRegistryKey::Open(HKEY parent, const char* subKey, REGSAM access)
{
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExA(parent, subKey, 0, access | SharedView(), &opened);
    if (result != ERROR_SUCCESS)
    {
        ::SetLastError(static_cast<DWORD>(result));
        return FALSE;
    }
    m_hKey.reset(opened);
    return TRUE;
}

LONG CRegistryKey::Close()
{
    return ::RegCloseKey(m_hKey.release());
}

std::string CRegistryKey::ConnectionName(const char* machineName)
{
    if (!machineName || !*machineName)
        return std::string();
    if (machineName[0] == '\\' && machineName[1] == '\\')
        return machineName;
    return std::string("\\\\") + machineName;
}

BOOL CRegistryKey::Connect(const char* machineName, HKEY key)
{
    const std::string name = ConnectionName(machineName);
    HKEY connected = nullptr;
    if (::RegConnectRegistryA(name.empty() ? nullptr : name.c_str(), key, &connected) != ERROR_SUCCESS)
        return FALSE;
    m_hKey.reset(connected);
    return TRUE;
}

BOOL CRegistryKey::QueryString(const char* name, std::string& value) const
{
    DWORD type = REG_NONE;
    DWORD size = STRING_SIZE_PROBE;
    if (::RegQueryValueExA(m_hKey.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return FALSE;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > MAXDWORD - STRING_SIZE_SLACK)
        return FALSE;
    size += STRING_SIZE_SLACK;
    std::vector<BYTE> buffer(size);
    if (::RegQueryValueExA(m_hKey.get(), name, nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS)
        return FALSE;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return FALSE;
    const char* text = reinterpret_cast<const char*>(buffer.data());
    const void* zero = std::memchr(text, '\0', size);
    value.assign(text, zero ? static_cast<const char*>(zero) - text : size);
    return TRUE;
}

template <typename T> BOOL CRegistryKey::QueryInteger(const char* name, T& value) const
{
    static_assert(sizeof(T) == sizeof(DWORD), "a 32-bit integer");
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegQueryValueExA(m_hKey.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return FALSE;
    value = static_cast<T>(data);
    return TRUE;
}

BOOL CRegistryKey::QueryDWORD(const char* name, DWORD& value) const
{
    return QueryInteger(name, value);
}
BOOL CRegistryKey::QueryDWORD(const char* name, long& value) const
{
    return QueryInteger(name, value);
}
BOOL CRegistryKey::QueryDWORD(const char* name, unsigned int& value) const
{
    return QueryInteger(name, value);
}
BOOL CRegistryKey::QueryDWORD(const char* name, int& value) const
{
    return QueryInteger(name, value);
}

BOOL CRegistryKey::QueryBinary(const char* name, void* buffer, DWORD size) const
{
    // Read into a buffer of our own: a shorter value would otherwise be
    // written into the caller's buffer although the read fails.
    std::vector<BYTE> data(size);
    DWORD type = REG_NONE;
    DWORD returned = size;
    if (::RegQueryValueExA(m_hKey.get(), name, nullptr, &type, data.data(), &returned) != ERROR_SUCCESS ||
        type != REG_BINARY || returned != size)
        return FALSE;
    if (size)
        std::memcpy(buffer, data.data(), size);
    return TRUE;
}

BOOL CRegistryKey::QueryBinary(const char* name, BYTE (&buffer)[16]) const
{
    return QueryBinary(name, buffer, sizeof buffer);
}

BOOL CRegistryKey::QueryByteArray(const char* name, std::vector<BYTE>& value) const
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExA(m_hKey.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return FALSE;
    std::vector<BYTE> data(size);
    if (::RegQueryValueExA(m_hKey.get(), name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return FALSE;
    data.resize(size);
    value.swap(data);
    return TRUE;
}

BOOL CRegistryKey::QueryRaw(const char* name, DWORD& type, std::vector<BYTE>& data) const
{
    DWORD size = 0;
    if (::RegQueryValueExA(m_hKey.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return FALSE;
    // A value that grew between the two reads is read again.
    for (;;)
    {
        data.resize(size);
        const LONG result = ::RegQueryValueExA(m_hKey.get(), name, nullptr, &type, data.data(), &size);
        if (result == ERROR_SUCCESS)
        {
            data.resize(size);
            return TRUE;
        }
        if (result != ERROR_MORE_DATA)
            return FALSE;
    }
}

LONG CRegistryKey::SetRaw(const char* name, DWORD type, const std::vector<BYTE>& data)
{
    return SetValue(name, type, data.data(), static_cast<DWORD>(data.size()));
}

LONG CRegistryKey::SetValue(const char* name, DWORD type, const void* data, DWORD length)
{
    static const BYTE noData = 0;
    return ::RegSetValueExA(m_hKey.get(), name, 0, type, length ? static_cast<const BYTE*>(data) : &noData,
                            length);
}

LONG CRegistryKey::SetString(const char* name, const char* text)
{
    text = text ? text : "";
    return SetValue(name, REG_SZ, text, static_cast<DWORD>(::lstrlenA(text)) + 1);
}

LONG CRegistryKey::SetExpandString(const char* name, const char* text)
{
    text = text ? text : "";
    return SetValue(name, REG_EXPAND_SZ, text, static_cast<DWORD>(::lstrlenA(text)) + 1);
}

LONG CRegistryKey::SetDWORD(const char* name, DWORD value)
{
    return SetValue(name, REG_DWORD, &value, sizeof value);
}
LONG CRegistryKey::SetDWORD(const char* name, long value)
{
    return SetDWORD(name, static_cast<DWORD>(value));
}
LONG CRegistryKey::SetDWORD(const char* name, unsigned int value)
{
    return SetDWORD(name, static_cast<DWORD>(value));
}
LONG CRegistryKey::SetDWORD(const char* name, int value)
{
    return SetDWORD(name, static_cast<DWORD>(value));
}

LONG CRegistryKey::SetBinary(const char* name, const void* data, DWORD length)
{
    return SetValue(name, REG_BINARY, data, length);
}

LONG CRegistryKey::SetBinary(const char* name, const BYTE (&data)[16])
{
    return SetValue(name, REG_BINARY, data, sizeof data);
}

LONG CRegistryKey::SetByteArray(const char* name, const std::vector<BYTE>& data)
{
    return SetValue(name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

std::vector<BYTE> CRegistryKey::ParseBinaryText(const char* text)
{
    std::string extended = text ? text : "";
    extended += '-';
    std::vector<BYTE> bytes(extended.size() / 3);
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        // The group's two characters, whatever the third (separator) is.
        const char group[3] = {extended[3 * i], extended[3 * i + 1], '\0'};
        bytes[i] = static_cast<BYTE>(std::strtol(group, nullptr, 16) & 0xFF);
    }
    return bytes;
}

void CRegistryKey::SetBinaryText(const char* name, const char* text)
{
    SetByteArray(name, ParseBinaryText(text));
}

LONG CRegistryKey::DeleteValue(const char* name)
{
    return ::RegDeleteValueA(m_hKey.get(), name);
}

LONG CRegistryKey::DeleteSubKey(const char* name)
{
    return DeleteKeyInView(m_hKey.get(), name);
}

void CRegistryKey::DeleteAllValues()
{
    // All names are collected before anything goes, so that deletions do not
    // shift the enumeration's indexes.
    for (const std::string& name : CollectNames(m_hKey.get(), true))
        ::RegDeleteValueA(m_hKey.get(), name.c_str());
}

void CRegistryKey::DeleteContents()
{
    DeleteAllValues();
    DeleteSubKeys();
}

void CRegistryKey::DeleteSubKeys()
{
    for (const std::string& name : CollectNames(m_hKey.get(), false))
    {
        // A subkey that cannot be opened is not emptied; its deletion is still
        // tried and fails if it holds anything.
        CRegistryKey child;
        child.Open(m_hKey.get(), name.c_str(), DefaultAccess);
        child.DeleteContents();
        child.Close();
        DeleteKeyInView(m_hKey.get(), name.c_str());
    }
}

std::vector<std::string> CRegistryKey::ValueNames() const { return CollectNames(m_hKey.get(), true); }

std::vector<std::string> CRegistryKey::SubKeyNames() const { return CollectNames(m_hKey.get(), false); }

BOOL CRegistryKey::EnumKey(DWORD index, std::string& name, std::string& className, FILETIME* lastWrite) const
{
    char nameBuffer[ENUM_NAME_LENGTH];
    char classBuffer[ENUM_NAME_LENGTH];
    DWORD nameLength = ENUM_NAME_LENGTH;
    DWORD classLength = ENUM_NAME_LENGTH;
    FILETIME ignored;
    if (::RegEnumKeyExA(m_hKey.get(), index, nameBuffer, &nameLength, nullptr, classBuffer, &classLength,
                        lastWrite ? lastWrite : &ignored) != ERROR_SUCCESS)
        return FALSE;
    name.assign(nameBuffer, ::strnlen(nameBuffer, ENUM_NAME_LENGTH));
    className.assign(classBuffer, ::strnlen(classBuffer, ENUM_NAME_LENGTH));
    return TRUE;
}

BOOL CRegistryKey::EnumValue(DWORD index, std::string& name, DWORD* type) const
{
    char nameBuffer[ENUM_NAME_LENGTH];
    DWORD nameLength = ENUM_NAME_LENGTH;
    if (::RegEnumValueA(m_hKey.get(), index, nameBuffer, &nameLength, nullptr, type, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return FALSE;
    name.assign(nameBuffer, ::strnlen(nameBuffer, ENUM_NAME_LENGTH));
    return TRUE;
}

int CRegistryKey::CountSubKeys() const
{
    int count = 0;
    std::string name;
    std::string className;
    while (EnumKey(static_cast<DWORD>(count), name, className))
        ++count;
    return count;
}

#include "framework/RegistryKey.h"

#include "framework/SystemLibrary.h"
#include "portable/SystemText.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

const CRuntimeClass CRegistryKey::classCRegistryKey = {"CRegistryKey", &CObject::classCObject};

static_assert(CRegistryKey::DefaultAccess == 0x2001F, "KEY_READ | KEY_WRITE");

namespace
{
// A key or value name for the registry's call, in the system's text; a null
// name (a key's default value) stays null.
class CRegName
{
public:
    explicit CRegName(const char* name) : m_bNull(name == nullptr)
    {
        m_bValid = m_text.Set(name ? name : "");
        if (!m_bValid)
            m_nError = static_cast<LONG>(::GetLastError());
    }
    // The registry's error for a name it cannot take (ERROR_SUCCESS when it
    // can).
    LONG Error() const { return m_bValid ? ERROR_SUCCESS : m_nError; }
    bool Wide() const { return m_text.Wide(); }
    const wchar_t* W() const { return m_bNull ? nullptr : m_text.W(); }
    const char* A() const { return m_bNull ? nullptr : m_text.A(); }

private:
    CSystemText m_text;
    bool m_bNull;
    bool m_bValid = true;
    LONG m_nError = ERROR_SUCCESS;
};

LONG QueryValueData(HKEY key, const char* name, DWORD& type, BYTE* data, DWORD& size)
{
    const CRegName regName(name);
    if (regName.Error() != ERROR_SUCCESS)
        return regName.Error();
    return regName.Wide() ? ::RegQueryValueExW(key, regName.W(), nullptr, &type, data, &size)
                          : ::RegQueryValueExA(key, regName.A(), nullptr, &type, data, &size);
}

// Any value's bytes as stored, the buffer grown while the value grows.
LONG QueryValueBytes(HKEY key, const char* name, DWORD& type, std::vector<BYTE>& data)
{
    DWORD size = 0;
    LONG result = QueryValueData(key, name, type, nullptr, size);
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)
    {
        data.resize(size);
        result = QueryValueData(key, name, type, data.data(), size);
        if (result == ERROR_SUCCESS)
        {
            data.resize(size);
            return result;
        }
    }
    return result;
}

// The bytes of a text value as the system stores them for this system's
// calls: UTF-16 with the wide ones, the code page with the ANSI ones. A text
// the code page cannot spell is ERROR_NO_UNICODE_TRANSLATION.
LONG TextBytes(const std::string& text, std::vector<BYTE>& bytes)
{
    CSystemText systemText;
    if (!systemText.Set(text))
        return static_cast<LONG>(::GetLastError());
    const auto* begin = systemText.Wide() ? reinterpret_cast<const BYTE*>(systemText.W())
                                          : reinterpret_cast<const BYTE*>(systemText.A());
    const size_t length = systemText.Wide() ? (::lstrlenW(systemText.W()) + 1) * sizeof(wchar_t)
                                            : static_cast<size_t>(::lstrlenA(systemText.A())) + 1;
    bytes.assign(begin, begin + length);
    return ERROR_SUCCESS;
}

// The strings of a text value's bytes, in UTF-8: each ends at its zero (the
// last one also at the end of the data); wide or ANSI as the system's calls
// are.
std::vector<std::string> TextStrings(const std::vector<BYTE>& bytes)
{
    std::vector<std::string> strings;
    if (!SystemUsesCodePage())
    {
        const size_t count = bytes.size() / sizeof(wchar_t);
        std::wstring wide(count, L'\0');
        if (count)
            std::memcpy(&wide[0], bytes.data(), count * sizeof(wchar_t));
        size_t start = 0;
        while (start < wide.size())
        {
            const size_t end = std::min(wide.find(L'\0', start), wide.size());
            strings.push_back(Narrow(wide.data() + start, end - start));
            start = end + 1;
        }
        return strings;
    }
    size_t start = 0;
    while (start < bytes.size())
    {
        const auto* text = reinterpret_cast<const char*>(bytes.data());
        const void* zero = std::memchr(text + start, '\0', bytes.size() - start);
        const size_t end = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : bytes.size();
        strings.push_back(FromCodePage(text + start, end - start));
        start = end + 1;
    }
    return strings;
}

// The name of the value or subkey at index, in UTF-8; the registry's result.
LONG EnumNameAt(HKEY key, DWORD index, bool values, std::string& name, DWORD* type = nullptr,
                std::string* className = nullptr, FILETIME* lastWrite = nullptr)
{
    // The longest names: 16383 characters for a value, 255 for a key, and
    // twice as many bytes in a double-byte code page.
    constexpr DWORD LONGEST_NAME = 2 * 16383 + 1;
    FILETIME ignored;
    LONG result;
    if (!SystemUsesCodePage())
    {
        std::vector<wchar_t> buffer(LONGEST_NAME);
        std::vector<wchar_t> classBuffer(LONGEST_NAME);
        DWORD length = LONGEST_NAME;
        DWORD classLength = LONGEST_NAME;
        result = values ? ::RegEnumValueW(key, index, buffer.data(), &length, nullptr, type, nullptr, nullptr)
                        : ::RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, classBuffer.data(),
                                          &classLength, lastWrite ? lastWrite : &ignored);
        if (result == ERROR_SUCCESS)
        {
            name = Narrow(buffer.data(), length);
            if (className)
                *className = values ? std::string() : Narrow(classBuffer.data(), classLength);
        }
        return result;
    }
    std::vector<char> buffer(LONGEST_NAME);
    std::vector<char> classBuffer(LONGEST_NAME);
    DWORD length = LONGEST_NAME;
    DWORD classLength = LONGEST_NAME;
    result = values ? ::RegEnumValueA(key, index, buffer.data(), &length, nullptr, type, nullptr, nullptr)
                    : ::RegEnumKeyExA(key, index, buffer.data(), &length, nullptr, classBuffer.data(), &classLength,
                                      lastWrite ? lastWrite : &ignored);
    if (result == ERROR_SUCCESS)
    {
        name = FromCodePage(buffer.data(), length);
        if (className)
            *className = values ? std::string() : FromCodePage(classBuffer.data(), classLength);
    }
    return result;
}

// The names of all values or of all subkeys of key. The walk ends at the
// first result other than success: ERROR_NO_MORE_ITEMS normally, but also the
// error of a null or unreadable key, which would otherwise never end it.
std::vector<std::string> CollectNames(HKEY key, bool values)
{
    std::vector<std::string> names;
    std::string name;
    for (DWORD index = 0; EnumNameAt(key, index, values, name) == ERROR_SUCCESS; ++index)
        names.push_back(name);
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
    const CRegName regName(name);
    if (regName.Error() != ERROR_SUCCESS)
        return regName.Error();
    if (regName.Wide())
    {
        using RegDeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
        static const auto deleteKeyEx = reinterpret_cast<RegDeleteKeyExFn>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"advapi32.dll"), "RegDeleteKeyExW")));
        if (SharedView() != 0 && deleteKeyEx)
            return deleteKeyEx(parent, regName.W(), SharedView(), 0);
        return ::RegDeleteKeyW(parent, regName.W());
    }
    return ::RegDeleteKeyA(parent, regName.A());
}

CRegistryKey::CRegistryKey(HKEY key)
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(key, nullptr, 0, DefaultAccess, &opened) == ERROR_SUCCESS)
        m_hKey.reset(opened);
}

void CRegistryKey::Create(HKEY parent, const char* subKey, DWORD options, REGSAM access,
                          LPSECURITY_ATTRIBUTES security)
{
    const CRegName name(subKey);
    HKEY created = nullptr;
    DWORD disposition;
    LONG result = name.Error();
    if (result == ERROR_SUCCESS)
        result = name.Wide() ? ::RegCreateKeyExW(parent, name.W(), 0, nullptr, options, access | SharedView(),
                                                 security, &created, &disposition)
                             : ::RegCreateKeyExA(parent, name.A(), 0, nullptr, options, access | SharedView(),
                                                 security, &created, &disposition);
    // Created before the old key is closed, so parent may be the held key.
    m_hKey.reset(result == ERROR_SUCCESS ? created : nullptr);
    if (result != ERROR_SUCCESS)
        ::SetLastError(static_cast<DWORD>(result));
}

BOOL CRegistryKey::Open(HKEY parent, const char* subKey, REGSAM access)
{
    const CRegName name(subKey);
    HKEY opened = nullptr;
    LONG result = name.Error();
    if (result == ERROR_SUCCESS)
        result = name.Wide() ? ::RegOpenKeyExW(parent, name.W(), 0, access | SharedView(), &opened)
                             : ::RegOpenKeyExA(parent, name.A(), 0, access | SharedView(), &opened);
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
    const CRegName regName(name.empty() ? nullptr : name.c_str());
    if (regName.Error() != ERROR_SUCCESS)
        return FALSE;
    HKEY connected = nullptr;
    const LONG result = regName.Wide() ? ::RegConnectRegistryW(regName.W(), key, &connected)
                                       : ::RegConnectRegistryA(regName.A(), key, &connected);
    if (result != ERROR_SUCCESS)
        return FALSE;
    m_hKey.reset(connected);
    return TRUE;
}

BOOL CRegistryKey::QueryString(const char* name, std::string& value) const
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (QueryValueBytes(m_hKey.get(), name, type, data) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return FALSE;
    // The text up to its first zero, or all of it when it has none.
    const std::vector<std::string> strings = TextStrings(data);
    value = strings.empty() ? std::string() : strings.front();
    return TRUE;
}

BOOL CRegistryKey::QueryMultiString(const char* name, std::vector<std::string>& values) const
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (QueryValueBytes(m_hKey.get(), name, type, data) != ERROR_SUCCESS || type != REG_MULTI_SZ)
        return FALSE;
    values = TextStrings(data);
    return TRUE;
}

template <typename T> BOOL CRegistryKey::QueryInteger(const char* name, T& value) const
{
    static_assert(sizeof(T) == sizeof(DWORD), "a 32-bit integer");
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (QueryValueData(m_hKey.get(), name, type, reinterpret_cast<BYTE*>(&data), size) != ERROR_SUCCESS ||
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
    if (QueryValueData(m_hKey.get(), name, type, data.data(), returned) != ERROR_SUCCESS || type != REG_BINARY ||
        returned != size)
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
    std::vector<BYTE> data;
    if (QueryValueBytes(m_hKey.get(), name, type, data) != ERROR_SUCCESS || type != REG_BINARY)
        return FALSE;
    value.swap(data);
    return TRUE;
}

BOOL CRegistryKey::QueryRaw(const char* name, DWORD& type, std::vector<BYTE>& data) const
{
    return QueryValueBytes(m_hKey.get(), name, type, data) == ERROR_SUCCESS;
}

LONG CRegistryKey::SetRaw(const char* name, DWORD type, const std::vector<BYTE>& data)
{
    return SetValue(name, type, data.data(), static_cast<DWORD>(data.size()));
}

LONG CRegistryKey::SetValue(const char* name, DWORD type, const void* data, DWORD length)
{
    static const BYTE noData = 0;
    const CRegName regName(name);
    if (regName.Error() != ERROR_SUCCESS)
        return regName.Error();
    const BYTE* bytes = length ? static_cast<const BYTE*>(data) : &noData;
    return regName.Wide() ? ::RegSetValueExW(m_hKey.get(), regName.W(), 0, type, bytes, length)
                          : ::RegSetValueExA(m_hKey.get(), regName.A(), 0, type, bytes, length);
}

LONG CRegistryKey::SetText(const char* name, DWORD type, const char* text)
{
    std::vector<BYTE> bytes;
    const LONG result = TextBytes(text ? text : "", bytes);
    if (result != ERROR_SUCCESS)
        return result;
    return SetValue(name, type, bytes.data(), static_cast<DWORD>(bytes.size()));
}

LONG CRegistryKey::SetString(const char* name, const char* text) { return SetText(name, REG_SZ, text); }

LONG CRegistryKey::SetExpandString(const char* name, const char* text) { return SetText(name, REG_EXPAND_SZ, text); }

LONG CRegistryKey::SetMultiString(const char* name, const std::vector<std::string>& values)
{
    std::vector<BYTE> all;
    for (const std::string& value : values)
    {
        std::vector<BYTE> bytes;
        const LONG result = TextBytes(value, bytes);
        if (result != ERROR_SUCCESS)
            return result;
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    // The list ends with an empty string.
    all.insert(all.end(), SystemUsesCodePage() ? 1 : sizeof(wchar_t), 0);
    return SetValue(name, REG_MULTI_SZ, all.data(), static_cast<DWORD>(all.size()));
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
    const CRegName regName(name);
    if (regName.Error() != ERROR_SUCCESS)
        return regName.Error();
    return regName.Wide() ? ::RegDeleteValueW(m_hKey.get(), regName.W()) : ::RegDeleteValueA(m_hKey.get(), regName.A());
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
        DeleteValue(name.c_str());
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
    return EnumNameAt(m_hKey.get(), index, false, name, nullptr, &className, lastWrite) == ERROR_SUCCESS;
}

BOOL CRegistryKey::EnumValue(DWORD index, std::string& name, DWORD* type) const
{
    return EnumNameAt(m_hKey.get(), index, true, name, type) == ERROR_SUCCESS;
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

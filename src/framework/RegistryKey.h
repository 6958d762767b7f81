#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"
#include "package/RuntimeClass.h"

// Holds at most one open registry key and offers typed reads and writes of
// its values, key creation and opening, and removal of whole key trees. All
// text (key and value names, string data) is UTF-8; the registry's wide
// functions take it on the NT family, the ANSI ones on Windows 9x, where a
// text the code page cannot spell is refused (ERROR_NO_UNICODE_TRANSLATION).
//
// Results come in three styles, kept apart:
//  - reads, Open, Connect and the enumerations return a success flag (BOOL);
//  - writes, single deletions and Close return the registry function's error
//    code (ERROR_SUCCESS on success);
//  - Create, DeleteContents, DeleteSubKeys and SetBinaryText return nothing.
// No operation shows a message. An empty wrapper passes a null key to the
// registry, so its operations fail with the registry's own error code.
//
// A 32-bit build running on 64-bit Windows opens, creates and deletes keys
// in the 64-bit view (KEY_WOW64_64KEY), as the 64-bit build does, so both
// builds see the same records of an installation.
class CRegistryKey : public CObject
{
public:
    // KEY_READ | KEY_WRITE: every key the wrapper creates or opens by default,
    // and every subkey it opens internally.
    static constexpr REGSAM DefaultAccess = KEY_READ | KEY_WRITE;
    static const CRuntimeClass classCRegistryKey;

    CRegistryKey() = default;
    // Holds a second handle to the same key, opened with DefaultAccess; the
    // caller's handle stays the caller's. If that open fails the wrapper is
    // empty, exactly as after a failed Create, so the failure shows in the
    // reads and writes that follow and nothing invalid is ever closed.
    explicit CRegistryKey(HKEY key);
    ~CRegistryKey() override = default; // the held key closes with m_hKey

    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    const CRuntimeClass* GetRuntimeClass() const override { return &classCRegistryKey; }

    // Creates or opens parent\subKey and holds it. The previously held key is
    // closed either way; if the creation fails no key is held and the
    // registry's error is the last error.
    void Create(HKEY parent, const char* subKey, DWORD options = REG_OPTION_NON_VOLATILE,
                REGSAM access = DefaultAccess, LPSECURITY_ATTRIBUTES security = nullptr);
    // Opens parent\subKey; on success it replaces the held key, on failure the
    // held key stays and the registry's error is the last error.
    BOOL Open(HKEY parent, const char* subKey, REGSAM access = DefaultAccess);
    // Closes the held key (the registry's error when none is held).
    LONG Close();
    // Gives up the held key without closing it.
    HKEY Detach() { return m_hKey.release(); }
    HKEY GetKey() const { return m_hKey.get(); }
    // Connects to predefined key of another computer; on failure the held key
    // stays. The name is made to begin with two backslashes.
    BOOL Connect(const char* machineName, HKEY key);
    // The name Connect passes on: two backslashes are put in front unless the
    // name begins with two already. A null or empty name is passed as null,
    // which the registry takes for this computer.
    static std::string ConnectionName(const char* machineName);

    // Reads: each writes its output only on success, so callers preset
    // defaults. A value of another type is a failed read, not a conversion.
    BOOL QueryString(const char* name, std::string& value) const; // REG_SZ or REG_EXPAND_SZ (unexpanded)
    // REG_MULTI_SZ: every string up to the end of the data, the empty one
    // that ends the list included.
    BOOL QueryMultiString(const char* name, std::vector<std::string>& values) const;
    BOOL QueryDWORD(const char* name, DWORD& value) const;
    BOOL QueryDWORD(const char* name, long& value) const;
    BOOL QueryDWORD(const char* name, unsigned int& value) const;
    BOOL QueryDWORD(const char* name, int& value) const;
    // REG_BINARY of exactly size bytes.
    BOOL QueryBinary(const char* name, void* buffer, DWORD size) const;
    BOOL QueryBinary(const char* name, BYTE (&buffer)[16]) const;
    BOOL QueryByteArray(const char* name, std::vector<BYTE>& value) const;
    // Any value as it is stored for this system's calls: its type and its
    // bytes (text in UTF-16 on the NT family, in the code page on Windows 9x).
    BOOL QueryRaw(const char* name, DWORD& type, std::vector<BYTE>& data) const;

    // Writes: the error code of RegSetValueExA.
    LONG SetString(const char* name, const char* text);       // REG_SZ with its terminating zero
    LONG SetExpandString(const char* name, const char* text); // REG_EXPAND_SZ, likewise
    // REG_MULTI_SZ of the strings, each with its zero, and the empty one
    // that ends the list.
    LONG SetMultiString(const char* name, const std::vector<std::string>& values);
    LONG SetDWORD(const char* name, DWORD value);
    LONG SetDWORD(const char* name, long value);
    LONG SetDWORD(const char* name, unsigned int value);
    LONG SetDWORD(const char* name, int value);
    LONG SetBinary(const char* name, const void* data, DWORD length);
    LONG SetBinary(const char* name, const BYTE (&data)[16]);
    LONG SetByteArray(const char* name, const std::vector<BYTE>& data);
    // A value of any type from its bytes, as QueryRaw gives them.
    LONG SetRaw(const char* name, DWORD type, const std::vector<BYTE>& data);
    // Writes REG_BINARY bytes from text of two-digit hexadecimal groups with
    // one separator character after each ("00-0A-FF"); see ParseBinaryText.
    void SetBinaryText(const char* name, const char* text);
    // The bytes SetBinaryText writes: one per three characters of the text
    // with a separator appended, each read from its group's two characters the
    // way strtol reads base 16 (none gives 0), keeping the low 8 bits.
    static std::vector<BYTE> ParseBinaryText(const char* text);

    LONG DeleteValue(const char* name);
    // Deletes one direct subkey; NT-family systems delete only an empty key,
    // so callers empty it first with DeleteContents.
    LONG DeleteSubKey(const char* name);
    // Deletes every value and, depth first, every subkey; the held key stays.
    // A value or subkey that cannot be deleted stays and the walk goes on.
    void DeleteContents();
    // As DeleteContents, but the held key's own values stay.
    void DeleteSubKeys();

    // The view of the registry every key is opened in: KEY_WOW64_64KEY for a
    // 32-bit build on 64-bit Windows (so both builds see the same records,
    // not the 32-bit program's Wow6432Node), else 0.
    static REGSAM SharedView();
    // Deletes parent\\name (an empty key) in that view.
    static LONG DeleteKeyInView(HKEY parent, const char* name);

    // The names of all values and of all direct subkeys.
    std::vector<std::string> ValueNames() const;
    std::vector<std::string> SubKeyNames() const;

    BOOL EnumKey(DWORD index, std::string& name, std::string& className, FILETIME* lastWrite = nullptr) const;
    BOOL EnumValue(DWORD index, std::string& name, DWORD* type) const;
    int CountSubKeys() const;

private:
    template <typename T> BOOL QueryInteger(const char* name, T& value) const;
    LONG SetValue(const char* name, DWORD type, const void* data, DWORD length);
    LONG SetText(const char* name, DWORD type, const char* text);
    void DeleteAllValues();

    unique_hkey m_hKey;
};

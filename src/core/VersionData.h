#pragma once
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "package/RuntimeClass.h"

// The version resource of one file (or loaded module) and the answers to the
// questions the installation asks of it: the fixed file and product versions
// and the string values of the first translation the resource lists.
//
// Versions are 64-bit numbers: major and minor in the high half, build and
// revision in the low half, 16 bits each; 0 means "no version information".
//
// Nothing here shows a message or throws. Every query answers false while
// nothing is loaded, and a query that answers false leaves its output alone.
// version.dll is not imported: its three functions are taken from the system
// folder's copy on first use.
class CVersionData : public CObject
{
    DECLARE_DYNAMIC(CVersionData)
public:
    CVersionData();
    ~CVersionData() override;
    CVersionData(const CVersionData&) = delete;
    CVersionData& operator=(const CVersionData&) = delete;

    // Reads the version block of a file and its first translation. False (with
    // the system's reason as the last error) when the file has no version
    // resource, cannot be read, or lists no translation; nothing stays
    // allocated then. An object is loaded once: a second load is refused with
    // ERROR_ALREADY_INITIALIZED and the first one stays.
    BOOL LoadFromFile(LPCSTR pszPath);
    // The same for the file a loaded module came from; a null handle means the
    // running program.
    BOOL LoadFromModule(HMODULE hModule);

    BOOL GetFileVersion(ULONGLONG& nVersion) const;
    BOOL GetProductVersion(ULONGLONG& nVersion) const;

    // A value of the string block of the stored translation.
    BOOL GetStringValue(LPCSTR pszName, std::string& strValue) const;
    BOOL GetSpecialBuild(std::string& strValue) const { return GetStringValue("SpecialBuild", strValue); }
    BOOL GetLegalCopyright(std::string& strValue) const { return GetStringValue("LegalCopyright", strValue); }
    BOOL GetComments(std::string& strValue) const { return GetStringValue("Comments", strValue); }
    BOOL GetFileVersionText(std::string& strValue) const { return GetStringValue("FileVersion", strValue); }
    BOOL GetFileDescription(std::string& strValue) const { return GetStringValue("FileDescription", strValue); }

    // The first translation as eight upper-case hex digits, language then
    // code page (040904B0); empty while nothing is loaded.
    const std::string& GetTranslation() const { return m_strTranslation; }
    bool IsLoaded() const { return m_pVersionInfo != nullptr; }

private:
    struct CFreeBlock
    {
        void operator()(BYTE* p) const { std::free(p); }
    };

    const VS_FIXEDFILEINFO* FixedInfo() const;

    // The whole version block, from the C runtime heap, with the size the
    // system reported for it.
    std::unique_ptr<BYTE, CFreeBlock> m_pVersionInfo;
    std::string m_strTranslation;
    // Whether the block came from the wide calls (the NT family), which its
    // queries then use too.
    bool m_bWide = true;
};

// Builds a 64-bit version from its two 32-bit halves.
inline ULONGLONG MakeVersion64(DWORD dwMS, DWORD dwLS) { return (ULONGLONG(dwMS) << 32) | dwLS; }

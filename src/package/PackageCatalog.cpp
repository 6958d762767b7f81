#include "package/PackageCatalog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "package/FileIo.h"

IMPLEMENT_DYNAMIC(CPackageCatalogEntry, CObject)
IMPLEMENT_DYNAMIC(CPackageCatalog, CObject)

namespace
{
void StoreFileTime(BYTE* p, const FILETIME& ft)
{
    StoreLE32(p, ft.dwLowDateTime);
    StoreLE32(p + 4, ft.dwHighDateTime);
}

FILETIME LoadFileTime(const BYTE* p)
{
    FILETIME ft;
    ft.dwLowDateTime = LoadLE32(p);
    ft.dwHighDateTime = LoadLE32(p + 4);
    return ft;
}

// Upper-case form of a UTF-16 unit for the letters whose case pairs sit at
// fixed distances: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
unsigned FoldCase(unsigned c)
{
    if (c >= 'a' && c <= 'z')
        return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F)
    {
        // Pairs are upper/lower at even/odd, except in 0x139..0x148 and
        // 0x179..0x17E where the upper letter is the odd one.
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const bool isLower = oddUpper ? (c % 2 == 0) : (c % 2 == 1);
        return isLower ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return c - 0x20;
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x430 && c <= 0x44F)
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    return c;
}
} // namespace

bool PackageNamesEqualNoCase(const WCHAR* a, const WCHAR* b)
{
    for (;; ++a, ++b)
    {
        if (FoldCase(static_cast<unsigned>(*a)) != FoldCase(static_cast<unsigned>(*b)))
            return false;
        if (*a == 0)
            return true;
    }
}

// ---------------------------------------------------------------------------
// CPackageCatalogEntry

CPackageCatalogEntry::CPackageCatalogEntry()
{
    Reset(nullptr, entryFile);
}

void CPackageCatalogEntry::Reset(const WCHAR* pszName, LONG nKind)
{
    std::memset(m_szName, 0, sizeof m_szName);
    std::memset(m_kindData, 0, sizeof m_kindData);
    m_nKind = nKind;
    m_nUncompressedSize = 0;
    m_nStoredSize = 0;
    m_nDataOffset = 0;
    if (pszName == nullptr)
        return;
    DWORD n = 0;
    while (n < PACKAGE_NAME_UNITS - 1 && pszName[n] != 0)
        ++n;
    // A cut that would leave the first half of a surrogate pair drops it.
    if (pszName[n] != 0 && n > 0 && (pszName[n - 1] & 0xFC00) == 0xD800)
        --n;
    std::memcpy(m_szName, pszName, n * sizeof(WCHAR));
}

std::string CPackageCatalogEntry::GetKindName() const
{
    switch (m_nKind)
    {
    case entryFile:
        return "File";
    case entryDirectory:
        return "Directory";
    case entryConfigObj:
        return "Config Obj";
    case entryLexiconSeg:
        return "Lexicon Seg";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "Unknown - %d", static_cast<int>(m_nKind));
        return text;
    }
    }
}

PackageFileInfo CPackageCatalogEntry::GetFileInfo() const
{
    PackageFileInfo info;
    info.ftCreation = LoadFileTime(m_kindData + FILEINFO_CREATION);
    info.ftLastWrite = LoadFileTime(m_kindData + FILEINFO_LAST_WRITE);
    info.dwVersionLS = LoadLE32(m_kindData + FILEINFO_VERSION_LS);
    info.dwVersionMS = LoadLE32(m_kindData + FILEINFO_VERSION_MS);
    return info;
}

void CPackageCatalogEntry::SetFile(const WCHAR* pszName, const FILETIME& ftCreation, const FILETIME& ftLastWrite,
                                   ULONGLONG nVersion)
{
    Reset(pszName, entryFile);
    StoreFileTime(m_kindData + FILEINFO_CREATION, ftCreation);
    StoreFileTime(m_kindData + FILEINFO_LAST_WRITE, ftLastWrite);
    StoreLE32(m_kindData + FILEINFO_VERSION_LS, static_cast<DWORD>(nVersion));
    StoreLE32(m_kindData + FILEINFO_VERSION_MS, static_cast<DWORD>(nVersion >> 32));
}

void CPackageCatalogEntry::SetDirectory(const WCHAR* pszName)
{
    Reset(pszName, entryDirectory);
}

void CPackageCatalogEntry::SetConfigObj(const WCHAR* pszName, DWORD nFirst, const BYTE block[CONFIGOBJ_BLOCK_SIZE],
                                        DWORD nThird, DWORD nFourth)
{
    Reset(pszName, entryConfigObj);
    StoreLE32(m_kindData + CONFIGOBJ_FIRST, nFirst);
    StoreLE32(m_kindData + CONFIGOBJ_THIRD, nThird);
    StoreLE32(m_kindData + CONFIGOBJ_FOURTH, nFourth);
    if (block != nullptr)
        std::memcpy(m_kindData + CONFIGOBJ_BLOCK, block, CONFIGOBJ_BLOCK_SIZE);
}

void CPackageCatalogEntry::SetLexiconSeg(const WCHAR* pszName)
{
    Reset(pszName, entryLexiconSeg);
}

void CPackageCatalogEntry::EncodeRecord(BYTE record[PACKAGE_RECORD_SIZE]) const
{
    std::memset(record, 0, PACKAGE_RECORD_SIZE);
    for (DWORD i = 0; i < PACKAGE_NAME_UNITS; ++i)
        StoreLE16(record + RECORD_NAME + 2 * i, static_cast<WORD>(m_szName[i]));
    StoreLE32(record + RECORD_KIND, static_cast<DWORD>(m_nKind));
    std::memcpy(record + RECORD_KIND_DATA, m_kindData, PACKAGE_KIND_DATA_SIZE);
    StoreLE32(record + RECORD_STORED_SIZE, m_nStoredSize);
    StoreLE32(record + RECORD_UNCOMPRESSED_SIZE, m_nUncompressedSize);
    StoreLE32(record + RECORD_DATA_OFFSET, m_nDataOffset);
}

void CPackageCatalogEntry::DecodeRecord(const BYTE record[PACKAGE_RECORD_SIZE])
{
    for (DWORD i = 0; i < PACKAGE_NAME_UNITS; ++i)
        m_szName[i] = static_cast<WCHAR>(LoadLE16(record + RECORD_NAME + 2 * i));
    // A hostile record may fill all 1,024 units; the name must still end.
    // Units after the terminator are cleared, as a copied name would be.
    m_szName[PACKAGE_NAME_UNITS - 1] = 0;
    bool ended = false;
    for (WCHAR& unit : m_szName)
    {
        if (ended)
            unit = 0;
        ended = ended || unit == 0;
    }
    m_nKind = static_cast<LONG>(LoadLE32(record + RECORD_KIND));
    std::memcpy(m_kindData, record + RECORD_KIND_DATA, PACKAGE_KIND_DATA_SIZE);
    m_nStoredSize = LoadLE32(record + RECORD_STORED_SIZE);
    m_nUncompressedSize = LoadLE32(record + RECORD_UNCOMPRESSED_SIZE);
    m_nDataOffset = LoadLE32(record + RECORD_DATA_OFFSET);
    if (m_nStoredSize == 0)
        m_nStoredSize = m_nUncompressedSize;
}

BOOL CPackageCatalogEntry::ReadRecord(HANDLE hFile)
{
    BYTE record[PACKAGE_RECORD_SIZE];
    if (!ReadExact(hFile, record, sizeof record, ERROR_FILE_CORRUPT))
        return FALSE;
    DecodeRecord(record);
    return TRUE;
}

BOOL CPackageCatalogEntry::WriteRecord(HANDLE hFile) const
{
    BYTE record[PACKAGE_RECORD_SIZE];
    EncodeRecord(record);
    return WriteExact(hFile, record, sizeof record);
}

// ---------------------------------------------------------------------------
// CPackageCatalog

CPackageCatalog::CPackageCatalog()
{
    std::memset(m_szLabel, 0, sizeof m_szLabel);
}

CPackageCatalogEntry CPackageCatalog::GetAt(int nIndex) const
{
    if (nIndex < 0 || nIndex >= GetCount())
        return CPackageCatalogEntry();
    return m_entries[static_cast<size_t>(nIndex)];
}

int CPackageCatalog::Find(const WCHAR* pszName) const
{
    if (pszName == nullptr)
        return -1;
    for (int i = GetCount() - 1; i >= 0; --i)
        if (PackageNamesEqualNoCase(m_entries[static_cast<size_t>(i)].GetName(), pszName))
            return i;
    return -1;
}

int CPackageCatalog::SetLabel(const char* pszLabel)
{
    std::memset(m_szLabel, 0, sizeof m_szLabel);
    if (pszLabel == nullptr)
        return 1;
    size_t n = std::strlen(pszLabel);
    if (n > PACKAGE_LABEL_SIZE - 1)
        n = PACKAGE_LABEL_SIZE - 1;
    std::memcpy(m_szLabel, pszLabel, n);
    return static_cast<int>(n + 1);
}

BOOL CPackageCatalog::Add(const CPackageCatalogEntry& entry)
{
    try
    {
        m_entries.push_back(entry);
        return TRUE;
    }
    catch (const std::bad_alloc&)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

BOOL CPackageCatalog::Read(HANDLE hFile)
{
    BYTE head[CATALOG_HEAD_SIZE];
    if (!ReadExact(hFile, head, sizeof head, ERROR_FILE_CORRUPT))
        return FALSE;
    const LONG count = static_cast<LONG>(LoadLE32(head + CATALOG_COUNT));
    std::memcpy(m_szLabel, head + CATALOG_LABEL, PACKAGE_LABEL_SIZE);
    m_szLabel[PACKAGE_LABEL_SIZE - 1] = 0;
    const size_t labelLength = std::strlen(m_szLabel);
    std::memset(m_szLabel + labelLength, 0, PACKAGE_LABEL_SIZE - labelLength);
    m_entries.clear();
    if (count == 0)
        return TRUE;

    // The records must fit between here and the end of the file.
    LONG high = 0;
    const DWORD low = SetFilePointer(hFile, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return FALSE;
    const ULONGLONG position = (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
    DWORD sizeHigh = 0;
    const DWORD sizeLow = GetFileSize(hFile, &sizeHigh);
    if (sizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return FALSE;
    const ULONGLONG size = (static_cast<ULONGLONG>(sizeHigh) << 32) | sizeLow;
    if (count < 0 || position > size ||
        static_cast<ULONGLONG>(count) > (size - position) / PACKAGE_RECORD_SIZE)
    {
        SetLastError(ERROR_FILE_CORRUPT);
        return FALSE;
    }

    try
    {
        m_entries.reserve(static_cast<size_t>(count));
    }
    catch (const std::bad_alloc&)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    CPackageCatalogEntry entry;
    for (LONG i = 0; i < count; ++i)
    {
        if (!entry.ReadRecord(hFile))
            return FALSE;
        m_entries.push_back(entry);
    }
    return TRUE;
}

BOOL CPackageCatalog::Write(HANDLE hFile) const
{
    BYTE head[CATALOG_HEAD_SIZE];
    StoreLE32(head + CATALOG_COUNT, static_cast<DWORD>(m_entries.size()));
    std::memcpy(head + CATALOG_LABEL, m_szLabel, PACKAGE_LABEL_SIZE);
    if (!WriteExact(hFile, head, sizeof head))
        return FALSE;
    for (const CPackageCatalogEntry& entry : m_entries)
        if (!entry.WriteRecord(hFile))
            return FALSE;
    return TRUE;
}

#pragma once
#include <string>
#include <vector>

#include "package/PackageFormat.h"
#include "package/RuntimeClass.h"

// Entry kinds.
enum PackageEntryKind : LONG
{
    entryFile = 0,
    entryDirectory = 1,
    entryConfigObj = 2,
    entryLexiconSeg = 3,
};

// The kind data of a File entry, decoded.
struct PackageFileInfo
{
    FILETIME ftCreation;
    FILETIME ftLastWrite;
    DWORD dwVersionLS; // third part in the high 16 bits, fourth in the low 16 bits
    DWORD dwVersionMS; // first part in the high 16 bits, second in the low 16 bits
};

// One entry of a package catalog: a value that copies whole.
class CPackageCatalogEntry : public CObject
{
    DECLARE_DYNAMIC(CPackageCatalogEntry)
public:
    CPackageCatalogEntry();

    // The name, zero-terminated UTF-16: at most 1,023 units.
    const WCHAR* GetName() const { return m_szName; }
    LONG GetKind() const { return m_nKind; }
    // "File", "Directory", "Config Obj", "Lexicon Seg" or "Unknown - <kind>".
    std::string GetKindName() const;
    DWORD GetUncompressedSize() const { return m_nUncompressedSize; }
    DWORD GetStoredSize() const { return m_nStoredSize; }
    DWORD GetDataOffset() const { return m_nDataOffset; }
    PackageFileInfo GetFileInfo() const;
    const BYTE* GetKindData() const { return m_kindData; }

    // Templates for the package's add operations. Each clears the sizes, the
    // offset and the kind data first. A name longer than 1,023 units is cut
    // there (one unit earlier if that would split a surrogate pair).
    void SetFile(const WCHAR* pszName, const FILETIME& ftCreation, const FILETIME& ftLastWrite,
                 ULONGLONG nVersion);
    void SetDirectory(const WCHAR* pszName);
    void SetConfigObj(const WCHAR* pszName, DWORD nFirst, const BYTE block[CONFIGOBJ_BLOCK_SIZE], DWORD nThird,
                      DWORD nFourth);
    void SetLexiconSeg(const WCHAR* pszName);

    // The 3,084-byte record at the file's position.
    BOOL ReadRecord(HANDLE hFile);
    BOOL WriteRecord(HANDLE hFile) const;

    // The record as bytes, and back. Decoding applies the reading rules: the
    // reserved field is ignored, a stored size of 0 becomes the uncompressed
    // size, and the name always ends within its 1,024 units.
    void EncodeRecord(BYTE record[PACKAGE_RECORD_SIZE]) const;
    void DecodeRecord(const BYTE record[PACKAGE_RECORD_SIZE]);

private:
    friend class CPackageFile;
    void Reset(const WCHAR* pszName, LONG nKind);

    WCHAR m_szName[PACKAGE_NAME_UNITS];
    LONG m_nKind;
    BYTE m_kindData[PACKAGE_KIND_DATA_SIZE];
    DWORD m_nUncompressedSize;
    DWORD m_nStoredSize;
    DWORD m_nDataOffset;
};

// The list of entries of a package, with its label.
class CPackageCatalog : public CObject
{
    DECLARE_DYNAMIC(CPackageCatalog)
public:
    CPackageCatalog();

    int GetCount() const { return static_cast<int>(m_entries.size()); }
    // A copy of entry index; an index outside 0..count-1 gives an empty entry.
    CPackageCatalogEntry GetAt(int nIndex) const;
    // The last entry whose name equals pszName without regard to case, or -1.
    int Find(const WCHAR* pszName) const;
    const char* GetLabel() const { return m_szLabel; }
    // Copies at most 63 characters and the terminator; returns the bytes copied.
    int SetLabel(const char* pszLabel);

    // The catalog at the file's position. Read refuses a negative count and a
    // count whose records could not fit before the end of the file with
    // ERROR_FILE_CORRUPT before it reserves anything, and the same for a
    // catalog cut short.
    BOOL Read(HANDLE hFile);
    BOOL Write(HANDLE hFile) const;

    BOOL Add(const CPackageCatalogEntry& entry);
    void RemoveAll() { m_entries.clear(); }

private:
    std::vector<CPackageCatalogEntry> m_entries;
    char m_szLabel[PACKAGE_LABEL_SIZE];
};

// Compares two UTF-16 names without regard to letter case (Latin, Greek and
// Cyrillic letters fold; everything else must match exactly).
bool PackageNamesEqualNoCase(const WCHAR* a, const WCHAR* b);

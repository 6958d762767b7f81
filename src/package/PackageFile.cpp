#include "package/PackageFile.h"

#include <cstring>

#include "package/FileIo.h"
#include "package/PackageCheck.h"
#include "package/PackageSinks.h"

IMPLEMENT_DYNAMIC(CPackageFile, CObject)

CPackageFile::CPackageFile(BOOL bConsoleErrors)
    : m_hFile(INVALID_HANDLE_VALUE), m_nBuild(0), m_nCheckKind(0), m_bCompressed(FALSE), m_nDataEnd(0),
      m_bConsoleErrors(bConsoleErrors), m_pfnProgress(nullptr), m_pProgressContext(nullptr)
{
}

CPackageFile::~CPackageFile()
{
    CloseFile();
}

void CPackageFile::CloseFile()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
    {
        // Closing must not disturb the reason of a failure being reported.
        const DWORD error = GetLastError();
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
        SetLastError(error);
    }
}

void CPackageFile::SetProgressProc(PackageProgressProc pfnProgress, void* pContext)
{
    m_pfnProgress = pfnProgress;
    m_pProgressContext = pContext;
}

void CPackageFile::ReportProgress(DWORD nBytes)
{
    if (m_pfnProgress != nullptr && nBytes != 0)
        m_pfnProgress(nBytes, m_pProgressContext);
}

BOOL CPackageFile::Open(LPCSTR pszPath, BOOL bWritable)
{
    CloseFile();
    m_catalog.RemoveAll();
    m_hFile = CreateFileU(pszPath, bWritable ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ,
                          bWritable ? 0 : FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                          nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return FALSE;

    BYTE header[PACKAGE_HEADER_SIZE];
    BOOL ok = SeekTo(m_hFile, 0) && ReadExact(m_hFile, header, sizeof header, ERROR_FILE_CORRUPT);
    if (ok && std::memcmp(header + HEADER_SIGNATURE, PACKAGE_SIGNATURE, sizeof PACKAGE_SIGNATURE) != 0)
    {
        SetLastError(ERROR_FILE_CORRUPT);
        ok = FALSE;
    }
    const DWORD catalogOffset = ok ? LoadLE32(header + HEADER_CATALOG_OFFSET) : 0;
    // The catalog can neither overlap the header nor lie where no signed
    // 32-bit seek reaches (an unfinished package still has offset 0 here).
    if (ok && (catalogOffset < PACKAGE_HEADER_SIZE || catalogOffset > PACKAGE_MAX_SIZE))
    {
        SetLastError(ERROR_FILE_CORRUPT);
        ok = FALSE;
    }
    ok = ok && SeekTo(m_hFile, catalogOffset) && m_catalog.Read(m_hFile);
    if (!ok)
    {
        CloseFile();
        m_catalog.RemoveAll();
        return FALSE;
    }
    m_nDataEnd = catalogOffset;
    m_strPath = pszPath;
    m_nBuild = static_cast<LONG>(LoadLE32(header + HEADER_BUILD));
    m_bCompressed = LoadLE32(header + HEADER_COMPRESSED) != 0;
    m_nCheckKind = LoadLE32(header + HEADER_CHECK_KIND);
    return TRUE;
}

BOOL CPackageFile::Create(LPCSTR pszPath, BOOL bCompressed)
{
    CloseFile();
    m_hFile = CreateFileU(pszPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return FALSE;

    BYTE header[PACKAGE_HEADER_SIZE] = {};
    std::memcpy(header + HEADER_SIGNATURE, PACKAGE_SIGNATURE, sizeof PACKAGE_SIGNATURE);
    StoreLE32(header + HEADER_CATALOG_OFFSET, 0);
    StoreLE32(header + HEADER_BUILD, static_cast<DWORD>(PACKAGE_BUILD));
    StoreLE32(header + HEADER_COMPRESSED, bCompressed ? 1 : 0);
    if (!WriteExact(m_hFile, header, sizeof header))
    {
        CloseFile();
        const DWORD error = GetLastError();
        DeleteFileU(pszPath);
        SetLastError(error);
        return FALSE;
    }
    m_catalog = CPackageCatalog();
    m_strPath = pszPath;
    m_nBuild = PACKAGE_BUILD;
    m_nCheckKind = PACKAGE_CHECK_SHA256;
    m_bCompressed = bCompressed ? TRUE : FALSE;
    m_nDataEnd = PACKAGE_HEADER_SIZE;
    return TRUE;
}

BOOL CPackageFile::RoomForEntry(DWORD& nRoom) const
{
    // Data and the catalog with one more record must end below 2 GiB.
    const ULONGLONG end = static_cast<ULONGLONG>(m_nDataEnd) + CatalogSize(m_catalog.GetCount() + 1ULL);
    if (end > PACKAGE_MAX_SIZE)
    {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return FALSE;
    }
    nRoom = static_cast<DWORD>(PACKAGE_MAX_SIZE - end);
    return TRUE;
}

BOOL CPackageFile::AddEntry(const CPackageCatalogEntry& entry, DWORD nUncompressed, DWORD nStored, DWORD nOffset)
{
    CPackageCatalogEntry added(entry);
    added.m_nUncompressedSize = nUncompressed;
    added.m_nStoredSize = nStored;
    added.m_nDataOffset = nOffset;
    if (!m_catalog.Add(added))
        return FALSE;
    m_nDataEnd += nStored;
    return TRUE;
}

BOOL CPackageFile::AddFromFile(const CPackageCatalogEntry& entry, HANDLE hSource, DWORD nLength)
{
    if (m_hFile == INVALID_HANDLE_VALUE)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD room = 0;
    if (!RoomForEntry(room) || !SeekTo(m_hFile, m_nDataEnd))
        return FALSE;
    DWORD stored = 0;
    if (m_bCompressed)
    {
        if (!DeflateFromFile(m_hFile, stored, hSource, nLength, room))
            return FALSE;
    }
    else
    {
        if (nLength > room)
        {
            SetLastError(ERROR_FILE_TOO_LARGE);
            return FALSE;
        }
        CFileSink sink(m_hFile);
        if (!CopyRaw(sink, hSource, nLength))
            return FALSE;
        stored = nLength;
    }
    return AddEntry(entry, nLength, stored, m_nDataEnd);
}

BOOL CPackageFile::AddFromMemory(const CPackageCatalogEntry& entry, const void* pData, DWORD nLength)
{
    DWORD room = 0;
    if (!RoomForEntry(room))
        return FALSE;
    if (pData == nullptr)
        return AddEntry(entry, nLength, 0, 0);
    if (m_hFile == INVALID_HANDLE_VALUE)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!SeekTo(m_hFile, m_nDataEnd))
        return FALSE;
    DWORD stored = 0;
    if (m_bCompressed)
    {
        if (!DeflateFromMemory(m_hFile, stored, pData, nLength, room))
            return FALSE;
    }
    else
    {
        if (nLength > room)
        {
            SetLastError(ERROR_FILE_TOO_LARGE);
            return FALSE;
        }
        if (!WriteExact(m_hFile, pData, nLength))
            return FALSE;
        ReportProgress(nLength);
        stored = nLength;
    }
    return AddEntry(entry, nLength, stored, m_nDataEnd);
}

int CPackageFile::SetLabel(LPCSTR pszLabel)
{
    return m_catalog.SetLabel(pszLabel);
}

BOOL CPackageFile::Commit()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    BYTE offset[4];
    StoreLE32(offset, m_nDataEnd);
    // The check over the package's own bytes comes last, once every other
    // byte is as it stays.
    if (!SeekTo(m_hFile, m_nDataEnd) || !m_catalog.Write(m_hFile) || !SetEndOfFile(m_hFile) ||
        !SeekTo(m_hFile, HEADER_CATALOG_OFFSET) || !WriteExact(m_hFile, offset, sizeof offset) ||
        !SealPackageFile(m_hFile) || !FlushFileBuffers(m_hFile))
        return FALSE;
    CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    return TRUE;
}

void CPackageFile::Discard()
{
    CloseFile();
    if (!m_strPath.empty())
        DeleteFileU(m_strPath.c_str());
    m_catalog.RemoveAll();
}

void CPackageFile::Close()
{
    CloseFile();
    m_catalog.RemoveAll();
}

BOOL CPackageFile::CheckOwnBytes(PackageCheckState& state)
{
    if (m_hFile == INVALID_HANDLE_VALUE)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CheckPackageFile(m_hFile, state);
}

BOOL CPackageFile::CheckExtract(int nIndex, CPackageCatalogEntry& entry) const
{
    if (nIndex < 0 || nIndex >= m_catalog.GetCount())
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    entry = m_catalog.GetAt(nIndex);
    if (entry.GetDataOffset() == 0 || entry.GetStoredSize() == 0)
    {
        // An entry without data: there is nothing to read.
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    // The data must lie between the header and the catalog, and a stored
    // entry's bytes are its contents: its two sizes are the same.
    if (entry.GetDataOffset() < PACKAGE_HEADER_SIZE ||
        static_cast<ULONGLONG>(entry.GetDataOffset()) + entry.GetStoredSize() > m_nDataEnd ||
        (!m_bCompressed && entry.GetStoredSize() != entry.GetUncompressedSize()))
    {
        SetLastError(ERROR_FILE_CORRUPT);
        return FALSE;
    }
    if (m_hFile == INVALID_HANDLE_VALUE)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return SeekTo(m_hFile, entry.GetDataOffset());
}

BOOL CPackageFile::ExtractToFile(int nIndex, HANDLE hDest)
{
    CFileSink sink(hDest);
    return ExtractToSink(nIndex, sink);
}

BOOL CPackageFile::ExtractToSink(int nIndex, CPackageSink& sink)
{
    CPackageCatalogEntry entry;
    if (!CheckExtract(nIndex, entry))
        return FALSE;
    if (!m_bCompressed)
        return CopyRaw(sink, m_hFile, entry.GetStoredSize());
    DWORD produced = 0;
    if (!Inflate(sink, produced, m_hFile, entry.GetStoredSize(), entry.GetUncompressedSize()))
        return FALSE;
    if (produced != entry.GetUncompressedSize())
    {
        SetLastError(ERROR_FILE_CORRUPT);
        return FALSE;
    }
    return TRUE;
}

BOOL CPackageFile::ExtractContents(int nIndex, CPackageSink& sink)
{
    if (nIndex < 0 || nIndex >= m_catalog.GetCount())
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const CPackageCatalogEntry entry = m_catalog.GetAt(nIndex);
    if (entry.GetDataOffset() != 0 && entry.GetStoredSize() != 0)
        return ExtractToSink(nIndex, sink);
    // No data: an empty file, unless the record promises contents.
    if (entry.GetUncompressedSize() != 0)
    {
        SetLastError(ERROR_FILE_CORRUPT);
        return FALSE;
    }
    return TRUE;
}

BOOL CPackageFile::ExtractContentsToFile(int nIndex, HANDLE hDest)
{
    CFileSink sink(hDest);
    return ExtractContents(nIndex, sink);
}

BOOL CPackageFile::ExtractToMemory(int nIndex, CByteArray& data)
{
    CPackageCatalogEntry entry;
    if (!CheckExtract(nIndex, entry))
        return FALSE;
    if (!m_bCompressed)
    {
        // The size was checked against the file above, so this allocation
        // is bounded by the package itself.
        if (!data.SetSize(entry.GetStoredSize()))
            return FALSE;
        if (!ReadExact(m_hFile, data.GetData(), entry.GetStoredSize(), ERROR_HANDLE_EOF))
            return FALSE;
        ReportProgress(entry.GetStoredSize());
        return TRUE;
    }
    data.RemoveAll();
    CArraySink sink(data);
    DWORD produced = 0;
    if (!Inflate(sink, produced, m_hFile, entry.GetStoredSize(), entry.GetUncompressedSize()))
        return FALSE;
    if (data.GetSize() != entry.GetUncompressedSize())
    {
        SetLastError(ERROR_FILE_CORRUPT);
        return FALSE;
    }
    return TRUE;
}

#pragma once
#include <string>

#include "package/ByteArray.h"
#include "package/PackageCheck.h"
#include "package/PackageCatalog.h"
#include "package/PackageFormat.h"
#include "package/RuntimeClass.h"

struct z_stream_s;

// Told after every piece of input a transfer has consumed, with its size.
typedef void (*PackageProgressProc)(DWORD nBytes, void* pContext);

// Where an extraction puts an entry's data: the sink lends the buffer that
// the data are read or expanded into and takes it back filled, so that it can
// hand the piece on (to another thread, say) without copying it.
class CPackageSink
{
public:
    virtual ~CPackageSink() = default;
    // The buffer for the next bytes and its size (not 0); a buffer lent and
    // not taken back is lent again. Null with the last error set on failure.
    virtual BYTE* LendBuffer(DWORD& nSize) = 0;
    // Takes back the buffer last lent, its first nCount bytes (not 0) filled.
    // FALSE with the last error set ends the extraction.
    virtual BOOL TakeBack(DWORD nCount) = 0;
};

// A package file: a 256-byte header, the entries' data and the catalog.
// Operations return a success flag and leave the reason for a failure as the
// thread's last error: ERROR_FILE_CORRUPT for every format failure.
class CPackageFile : public CObject
{
    DECLARE_DYNAMIC(CPackageFile)
public:
    // With bConsoleErrors set, zlib failures are printed on standard output
    // instead of being set as the last error.
    explicit CPackageFile(BOOL bConsoleErrors = FALSE);
    // Closes a file still open (without deleting it).
    ~CPackageFile() override;
    CPackageFile(const CPackageFile&) = delete;
    CPackageFile& operator=(const CPackageFile&) = delete;

    // Reading, or appending when bWritable (held exclusively). A failed Open
    // closes the file again.
    BOOL Open(LPCSTR pszPath, BOOL bWritable);
    // A new package; an existing file is refused and left untouched.
    BOOL Create(LPCSTR pszPath, BOOL bCompressed);

    // Adds an entry whose data are nLength bytes read from hSource at its
    // position, or taken from memory. pData null adds an entry without data.
    // An add that would take the package to 2 GiB or more fails with
    // ERROR_FILE_TOO_LARGE and changes nothing that Commit writes.
    BOOL AddFromFile(const CPackageCatalogEntry& entry, HANDLE hSource, DWORD nLength);
    BOOL AddFromMemory(const CPackageCatalogEntry& entry, const void* pData, DWORD nLength);
    // Returns the bytes copied into the 64-byte label, terminator included.
    int SetLabel(LPCSTR pszLabel);

    // Writes the catalog, cuts the file after it, fills in the header with
    // the check over the package's own bytes, and closes the file. On failure the file stays open for Discard or Close.
    BOOL Commit();
    // Closes and deletes the file.
    void Discard();
    // Closes the file; the label stays.
    void Close();

    // Writes the data of entry nIndex at hDest's position, expanded.
    BOOL ExtractToFile(int nIndex, HANDLE hDest);
    // Hands the data of entry nIndex, expanded, to the sink.
    BOOL ExtractToSink(int nIndex, CPackageSink& sink);
    // The data of entry nIndex, expanded, in the array.
    BOOL ExtractToMemory(int nIndex, CByteArray& data);
    // The contents of File entry nIndex, as a file written from it must hold
    // them: exactly the entry's recorded (uncompressed) size. An entry
    // without data is an empty file when that size is 0. Any disagreement
    // between the record and the data fails with ERROR_FILE_CORRUPT, so the
    // setup and the packaging tool judge an entry alike.
    BOOL ExtractContents(int nIndex, CPackageSink& sink);
    BOOL ExtractContentsToFile(int nIndex, HANDLE hDest);

    // Reads the whole package and judges the check it carries over its own
    // bytes (PackageCheck.h): a package of an older packer carries none.
    BOOL CheckOwnBytes(PackageCheckState& state);

    LONG GetBuild() const { return m_nBuild; }
    // The kind of the package's own check as its header names it (0: none;
    // PACKAGE_CHECK_SHA256), read at Open without checking anything.
    DWORD GetCheckKind() const { return m_nCheckKind; }
    std::string GetPath() const { return m_strPath; }
    CPackageCatalog GetCatalog() const { return m_catalog; }
    BOOL IsCompressed() const { return m_bCompressed; }
    BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

    void SetProgressProc(PackageProgressProc pfnProgress, void* pContext);

private:
    // The transfers between the package and a file or memory, in pieces of
    // PACKAGE_PIECE_SIZE bytes. Deflate output beyond nMaxOutput fails with
    // ERROR_FILE_TOO_LARGE; inflate output beyond nMaxOutput, and bytes after
    // the end of the zlib stream, fail with ERROR_FILE_CORRUPT.
    BOOL CopyRaw(CPackageSink& sink, HANDLE hSource, DWORD nCount);
    BOOL DeflateFromFile(HANDLE hDest, DWORD& nWritten, HANDLE hSource, DWORD nCount, DWORD nMaxOutput);
    BOOL DeflateFromMemory(HANDLE hDest, DWORD& nWritten, const void* pData, DWORD nCount, DWORD nMaxOutput);
    BOOL Inflate(CPackageSink& sink, DWORD& nProduced, HANDLE hSource, DWORD nCount, DWORD nMaxOutput);
    void ReportZlibError(const z_stream_s& stream, int nCode);

    BOOL Deflate(HANDLE hDest, DWORD& nWritten, HANDLE hSource, const void* pData, DWORD nCount,
                 DWORD nMaxOutput);
    void ReportProgress(DWORD nBytes);

    // Room for the data of one more entry, or FALSE with the last error set.
    BOOL RoomForEntry(DWORD& nRoom) const;
    BOOL AddEntry(const CPackageCatalogEntry& entry, DWORD nUncompressed, DWORD nStored, DWORD nOffset);
    BOOL CheckExtract(int nIndex, CPackageCatalogEntry& entry) const;
    void CloseFile();

    HANDLE m_hFile;
    std::string m_strPath;
    LONG m_nBuild;
    DWORD m_nCheckKind;
    BOOL m_bCompressed;
    DWORD m_nDataEnd;
    BOOL m_bConsoleErrors;
    CPackageCatalog m_catalog;
    PackageProgressProc m_pfnProgress;
    void* m_pProgressContext;
};

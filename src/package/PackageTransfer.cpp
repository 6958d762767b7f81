// The transfers of entry data between a package and a file or memory: stored
// unchanged, or as one zlib stream per entry, in pieces of 64 KiB so that
// memory does not grow with the entry.
#include <cstdio>
#include <memory>
#include <new>

#include <zlib.h>

#include "package/FileIo.h"
#include "package/PackageFile.h"

namespace
{
std::unique_ptr<BYTE[]> AllocatePiece()
{
    std::unique_ptr<BYTE[]> piece(new (std::nothrow) BYTE[PACKAGE_PIECE_SIZE]);
    if (!piece)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return piece;
}

DWORD PieceOf(DWORD remaining)
{
    return remaining < PACKAGE_PIECE_SIZE ? remaining : PACKAGE_PIECE_SIZE;
}

// Ends a started zlib stream on every path out of a transfer.
struct DeflateStream
{
    z_stream stream{};
    bool started = false;
    ~DeflateStream()
    {
        if (started)
            deflateEnd(&stream);
    }
};

struct InflateStream
{
    z_stream stream{};
    bool started = false;
    ~InflateStream()
    {
        if (started)
            inflateEnd(&stream);
    }
};

BOOL WriteToFile(void* pContext, const BYTE* pData, DWORD nCount)
{
    return WriteExact(static_cast<HANDLE>(pContext), pData, nCount);
}

BOOL AppendToArray(void* pContext, const BYTE* pData, DWORD nCount)
{
    return static_cast<CByteArray*>(pContext)->Append(pData, nCount);
}

// Hands one piece of a transfer's output to pfnOutput and counts it in
// nTotal. Output that would pass nMaxOutput is refused with nOverLimitError,
// before anything of the piece is handed on.
BOOL PassOnPiece(BOOL (*pfnOutput)(void*, const BYTE*, DWORD), void* pContext, const BYTE* pData, DWORD nCount,
                 DWORD nMaxOutput, DWORD& nTotal, DWORD nOverLimitError)
{
    if (nCount == 0)
        return TRUE;
    if (nCount > nMaxOutput - nTotal)
    {
        SetLastError(nOverLimitError);
        return FALSE;
    }
    if (!pfnOutput(pContext, pData, nCount))
        return FALSE;
    nTotal += nCount;
    return TRUE;
}
} // namespace

void CPackageFile::ReportZlibError(const z_stream_s& stream, int nCode)
{
    if (m_bConsoleErrors)
    {
        if (stream.msg != nullptr)
            std::printf("ZLib error: %s\n", stream.msg);
        else
            std::printf("ZLib error: code %d\n", nCode);
        std::fflush(stdout);
    }
    else
    {
        SetLastError(ERROR_FILE_CORRUPT);
    }
}

BOOL CPackageFile::CopyRaw(HANDLE hDest, HANDLE hSource, DWORD nCount)
{
    if (nCount == 0)
        return TRUE;
    std::unique_ptr<BYTE[]> buffer = AllocatePiece();
    if (!buffer)
        return FALSE;
    while (nCount != 0)
    {
        const DWORD n = PieceOf(nCount);
        if (!ReadExact(hSource, buffer.get(), n, ERROR_HANDLE_EOF) || !WriteExact(hDest, buffer.get(), n))
            return FALSE;
        ReportProgress(n);
        nCount -= n;
    }
    return TRUE;
}

BOOL CPackageFile::DeflateFromFile(HANDLE hDest, DWORD& nWritten, HANDLE hSource, DWORD nCount,
                                   DWORD nMaxOutput)
{
    return Deflate(hDest, nWritten, hSource, nullptr, nCount, nMaxOutput);
}

BOOL CPackageFile::DeflateFromMemory(HANDLE hDest, DWORD& nWritten, const void* pData, DWORD nCount,
                                     DWORD nMaxOutput)
{
    return Deflate(hDest, nWritten, INVALID_HANDLE_VALUE, pData, nCount, nMaxOutput);
}

// Compresses nCount bytes, read from hSource in pieces or taken from pData
// at once, into one zlib stream written to hDest.
BOOL CPackageFile::Deflate(HANDLE hDest, DWORD& nWritten, HANDLE hSource, const void* pData, DWORD nCount,
                           DWORD nMaxOutput)
{
    nWritten = 0;
    const bool fromMemory = pData != nullptr;
    std::unique_ptr<BYTE[]> input = fromMemory ? nullptr : AllocatePiece();
    std::unique_ptr<BYTE[]> output = AllocatePiece();
    if ((!fromMemory && !input) || !output)
        return FALSE;

    DeflateStream z;
    const int init = deflateInit(&z.stream, Z_DEFAULT_COMPRESSION);
    if (init != Z_OK)
    {
        ReportZlibError(z.stream, init);
        return FALSE;
    }
    z.started = true;

    DWORD remaining = nCount;
    for (;;)
    {
        // Next input: the whole block from memory, or the next piece.
        DWORD n;
        if (fromMemory)
        {
            n = remaining;
            z.stream.next_in = static_cast<Bytef*>(const_cast<void*>(pData));
        }
        else
        {
            // A read of no bytes delivers none, so a count of 0 fails here
            // as a source that has ended does.
            n = PieceOf(remaining);
            if (n == 0)
            {
                SetLastError(ERROR_HANDLE_EOF);
                return FALSE;
            }
            if (!ReadExact(hSource, input.get(), n, ERROR_HANDLE_EOF))
                return FALSE;
            z.stream.next_in = input.get();
        }
        z.stream.avail_in = n;
        remaining -= n;
        const int flush = remaining == 0 ? Z_FINISH : Z_NO_FLUSH;

        int result;
        do
        {
            z.stream.next_out = output.get();
            z.stream.avail_out = PACKAGE_PIECE_SIZE;
            result = deflate(&z.stream, flush);
            // Z_BUF_ERROR only says that this call could make no progress.
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
            {
                ReportZlibError(z.stream, result);
                return FALSE;
            }
            if (!PassOnPiece(WriteToFile, hDest, output.get(), PACKAGE_PIECE_SIZE - z.stream.avail_out, nMaxOutput,
                             nWritten, ERROR_FILE_TOO_LARGE))
                return FALSE;
        } while (z.stream.avail_out == 0);
        ReportProgress(n);

        if (flush == Z_FINISH)
        {
            if (result != Z_STREAM_END)
            {
                ReportZlibError(z.stream, result);
                return FALSE;
            }
            return TRUE;
        }
    }
}

BOOL CPackageFile::InflateToFile(HANDLE hDest, DWORD& nProduced, HANDLE hSource, DWORD nCount, DWORD nMaxOutput)
{
    return Inflate(WriteToFile, hDest, nProduced, hSource, nCount, nMaxOutput);
}

BOOL CPackageFile::InflateToMemory(CByteArray& data, HANDLE hSource, DWORD nCount, DWORD nMaxOutput)
{
    data.RemoveAll();
    DWORD produced = 0;
    return Inflate(AppendToArray, &data, produced, hSource, nCount, nMaxOutput);
}

// Expands the one zlib stream held in the next nCount bytes of hSource and
// hands the output on piece by piece. The stream must end exactly with the
// nCount bytes: a stream cut short fails through zlib, and bytes left after
// its end mean that the record and the stream disagree, which fails with
// ERROR_FILE_CORRUPT.
BOOL CPackageFile::Inflate(OutputProc pfnOutput, void* pContext, DWORD& nProduced, HANDLE hSource, DWORD nCount,
                           DWORD nMaxOutput)
{
    nProduced = 0;
    std::unique_ptr<BYTE[]> input = AllocatePiece();
    std::unique_ptr<BYTE[]> output = AllocatePiece();
    if (!input || !output)
        return FALSE;

    InflateStream z;
    const int init = inflateInit(&z.stream);
    if (init != Z_OK)
    {
        ReportZlibError(z.stream, init);
        return FALSE;
    }
    z.started = true;

    DWORD remaining = nCount;
    for (;;)
    {
        const DWORD n = PieceOf(remaining);
        if (n == 0)
        {
            SetLastError(ERROR_HANDLE_EOF);
            return FALSE;
        }
        if (!ReadExact(hSource, input.get(), n, ERROR_HANDLE_EOF))
            return FALSE;
        remaining -= n;
        z.stream.next_in = input.get();
        z.stream.avail_in = n;

        int result;
        do
        {
            z.stream.next_out = output.get();
            z.stream.avail_out = PACKAGE_PIECE_SIZE;
            result = inflate(&z.stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
            {
                ReportZlibError(z.stream, result);
                return FALSE;
            }
            if (!PassOnPiece(pfnOutput, pContext, output.get(), PACKAGE_PIECE_SIZE - z.stream.avail_out, nMaxOutput,
                             nProduced, ERROR_FILE_CORRUPT))
                return FALSE;
        } while (z.stream.avail_out == 0 && result != Z_STREAM_END);
        ReportProgress(n);

        if (result == Z_STREAM_END)
        {
            if (z.stream.avail_in != 0 || remaining != 0)
            {
                SetLastError(ERROR_FILE_CORRUPT);
                return FALSE;
            }
            return TRUE;
        }
        if (remaining == 0)
        {
            // All input is in and the stream has not ended: finishing it
            // tells zlib's reason (a stream cut short).
            z.stream.next_out = output.get();
            z.stream.avail_out = PACKAGE_PIECE_SIZE;
            result = inflate(&z.stream, Z_FINISH);
            if (result != Z_STREAM_END)
            {
                ReportZlibError(z.stream, result);
                return FALSE;
            }
            if (!PassOnPiece(pfnOutput, pContext, output.get(), PACKAGE_PIECE_SIZE - z.stream.avail_out, nMaxOutput,
                             nProduced, ERROR_FILE_CORRUPT))
                return FALSE;
            return TRUE;
        }
    }
}

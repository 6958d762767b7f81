// The transfers of entry data between a package and a file or memory: stored
// unchanged, or as one zlib stream per entry, in pieces of 64 KiB so that
// memory does not grow with the entry.
#include <cstdio>
#include <memory>
#include <new>

#include <zlib.h>

#include "package/FileIo.h"
#include "package/PackageFile.h"
#include "package/PackageSinks.h"

std::unique_ptr<BYTE[]> AllocatePiece()
{
    std::unique_ptr<BYTE[]> piece(new (std::nothrow) BYTE[PACKAGE_PIECE_SIZE]);
    if (!piece)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return piece;
}

namespace
{
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

// Writes one piece of compressed output to hDest and counts it in nTotal.
// Output that would pass nMaxOutput is refused with ERROR_FILE_TOO_LARGE,
// before anything of the piece is written.
BOOL WritePiece(HANDLE hDest, const BYTE* pData, DWORD nCount, DWORD nMaxOutput, DWORD& nTotal)
{
    if (nCount == 0)
        return TRUE;
    if (nCount > nMaxOutput - nTotal)
    {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return FALSE;
    }
    if (!WriteExact(hDest, pData, nCount))
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

BOOL CPackageFile::CopyRaw(CPackageSink& sink, HANDLE hSource, DWORD nCount)
{
    while (nCount != 0)
    {
        DWORD size = 0;
        BYTE* buffer = sink.LendBuffer(size);
        if (!buffer)
            return FALSE;
        const DWORD n = nCount < size ? nCount : size;
        if (!ReadExact(hSource, buffer, n, ERROR_HANDLE_EOF) || !sink.TakeBack(n))
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
            if (!WritePiece(hDest, output.get(), PACKAGE_PIECE_SIZE - z.stream.avail_out, nMaxOutput, nWritten))
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

// Expands the one zlib stream held in the next nCount bytes of hSource into
// the buffers the sink lends, handing each back when it is full and the last
// one at the stream's end. The stream must end exactly with the nCount bytes:
// a stream cut short fails through zlib, and bytes left after its end mean
// that the record and the stream disagree, which fails with
// ERROR_FILE_CORRUPT. Output beyond nMaxOutput fails with ERROR_FILE_CORRUPT
// before any of it is handed back.
BOOL CPackageFile::Inflate(CPackageSink& sink, DWORD& nProduced, HANDLE hSource, DWORD nCount, DWORD nMaxOutput)
{
    nProduced = 0;
    std::unique_ptr<BYTE[]> input = AllocatePiece();
    if (!input)
        return FALSE;

    InflateStream z;
    const int init = inflateInit(&z.stream);
    if (init != Z_OK)
    {
        ReportZlibError(z.stream, init);
        return FALSE;
    }
    z.started = true;

    // The buffer being filled, its size and how much of it is filled.
    BYTE* output = nullptr;
    DWORD outputSize = 0;
    DWORD filled = 0;
    // Runs inflate once into the rest of the buffer; hands the buffer back
    // when it is full.
    auto expand = [&](int flush, int& result) -> BOOL {
        if (!output)
        {
            output = sink.LendBuffer(outputSize);
            if (!output)
                return FALSE;
            filled = 0;
        }
        z.stream.next_out = output + filled;
        z.stream.avail_out = outputSize - filled;
        result = inflate(&z.stream, flush);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
        {
            ReportZlibError(z.stream, result);
            return FALSE;
        }
        const DWORD got = outputSize - filled - z.stream.avail_out;
        if (got > nMaxOutput - nProduced)
        {
            SetLastError(ERROR_FILE_CORRUPT);
            return FALSE;
        }
        nProduced += got;
        filled += got;
        if (filled == outputSize)
        {
            output = nullptr;
            return sink.TakeBack(filled);
        }
        return TRUE;
    };
    auto handBackRest = [&]() -> BOOL { return !output || filled == 0 || sink.TakeBack(filled); };

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
            if (!expand(Z_NO_FLUSH, result))
                return FALSE;
        } while (z.stream.avail_in != 0 && result == Z_OK);
        ReportProgress(n);

        if (result == Z_STREAM_END)
        {
            if (z.stream.avail_in != 0 || remaining != 0)
            {
                SetLastError(ERROR_FILE_CORRUPT);
                return FALSE;
            }
            return handBackRest();
        }
        if (remaining == 0)
        {
            // All input is in and the stream has not ended: finishing it
            // tells zlib's reason (a stream cut short), or drains output
            // that did not fit.
            do
            {
                if (!expand(Z_FINISH, result))
                    return FALSE;
            } while (result == Z_OK || (result == Z_BUF_ERROR && z.stream.avail_out == 0));
            if (result != Z_STREAM_END)
            {
                ReportZlibError(z.stream, result);
                return FALSE;
            }
            return handBackRest();
        }
    }
}

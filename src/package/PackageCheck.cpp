#include "package/PackageCheck.h"

#include <cstring>
#include <memory>
#include <new>

#include "package/FileIo.h"

namespace
{
// Big reads: the check goes through the whole package at once.
constexpr DWORD CHECK_PIECE_SIZE = 1u << 20;
} // namespace

BOOL HashPackageFile(HANDLE hFile, ISha256& hash, bool leaveOutCheck, BYTE check[PACKAGE_CHECK_SIZE],
                     PackageReadProc pfnRead, void* pContext)
{
    std::unique_ptr<BYTE[]> piece(new (std::nothrow) BYTE[CHECK_PIECE_SIZE]);
    if (!piece)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!SeekTo(hFile, 0))
        return FALSE;
    ULONGLONG position = 0;
    for (;;)
    {
        DWORD got = 0;
        if (!ReadFile(hFile, piece.get(), CHECK_PIECE_SIZE, &got, nullptr))
            return FALSE;
        if (got == 0)
            break;
        const BYTE* data = piece.get();
        // The check's bytes lie in the first piece of all: a piece is never
        // shorter than the header unless the file is.
        if (position == 0)
        {
            if (got < PACKAGE_HEADER_SIZE)
            {
                SetLastError(ERROR_FILE_CORRUPT);
                return FALSE;
            }
            std::memcpy(check, data + HEADER_CHECK, PACKAGE_CHECK_SIZE);
        }
        if (position == 0 && leaveOutCheck)
        {
            hash.Update(data, HEADER_CHECK);
            hash.Update(data + HEADER_CHECK + PACKAGE_CHECK_SIZE, got - HEADER_CHECK - PACKAGE_CHECK_SIZE);
        }
        else
        {
            hash.Update(data, got);
        }
        position += got;
        if (pfnRead && !pfnRead(got, pContext))
        {
            SetLastError(ERROR_CANCELLED);
            return FALSE;
        }
    }
    if (position == 0)
    {
        SetLastError(ERROR_FILE_CORRUPT);
        return FALSE;
    }
    return TRUE;
}

PackageCheckState JudgePackageCheck(const BYTE check[PACKAGE_CHECK_SIZE], const BYTE digest[SHA256_DIGEST_SIZE])
{
    static const BYTE zeros[PACKAGE_CHECK_SIZE] = {};
    if (std::memcmp(check, zeros, PACKAGE_CHECK_SIZE) == 0)
        return PackageCheckState::None;
    if (LoadLE32(check + HEADER_CHECK_KIND - HEADER_CHECK) == PACKAGE_CHECK_SHA256 &&
        std::memcmp(check + HEADER_CHECK_DIGEST - HEADER_CHECK, digest, SHA256_DIGEST_SIZE) == 0)
        return PackageCheckState::Intact;
    return PackageCheckState::Damaged;
}

BOOL CheckPackageFile(HANDLE hFile, PackageCheckState& state)
{
    CSha256 hash;
    BYTE check[PACKAGE_CHECK_SIZE];
    if (!HashPackageFile(hFile, hash, true, check))
        return FALSE;
    BYTE digest[SHA256_DIGEST_SIZE];
    hash.Final(digest);
    state = JudgePackageCheck(check, digest);
    return TRUE;
}

BOOL SealPackageFile(HANDLE hFile)
{
    CSha256 hash;
    BYTE check[PACKAGE_CHECK_SIZE];
    if (!HashPackageFile(hFile, hash, true, check))
        return FALSE;
    StoreLE32(check + HEADER_CHECK_KIND - HEADER_CHECK, PACKAGE_CHECK_SHA256);
    hash.Final(check + HEADER_CHECK_DIGEST - HEADER_CHECK);
    return SeekTo(hFile, HEADER_CHECK) && WriteExact(hFile, check, PACKAGE_CHECK_SIZE);
}

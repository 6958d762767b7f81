#pragma once
// The check a package carries over its own bytes: header bytes 28 to 63 hold
// kind 1 and the SHA-256 of every other byte of the file, so that one changed
// byte anywhere (the header's fields, an entry's name, time or version in the
// catalog, stored or compressed data) shows. The packer writes it at Commit;
// packages of older packers hold zeros there and carry no check.
#include "package/PackageFormat.h"
#include "package/Sha256.h"

enum class PackageCheckState
{
    None,    // zeros: a package of an older packer, nothing to check against
    Intact,  // kind 1 and the digest of the bytes as they are
    Damaged, // anything else: another kind, or a digest the bytes do not have
};

// Told after each piece read with its size; FALSE stops the read with
// ERROR_CANCELLED.
typedef BOOL (*PackageReadProc)(DWORD nBytes, void* pContext);

// Reads the whole file from its start into hash: every byte, or every byte
// but the check's 36 (leaveOutCheck), which are copied into check either
// way. FALSE, with the reason as the last error, when it cannot be read or
// is too short to hold a header (ERROR_FILE_CORRUPT).
BOOL HashPackageFile(HANDLE hFile, ISha256& hash, bool leaveOutCheck, BYTE check[PACKAGE_CHECK_SIZE],
                     PackageReadProc pfnRead = nullptr, void* pContext = nullptr);

// What the check's 36 bytes say about a package whose other bytes have the
// given digest.
PackageCheckState JudgePackageCheck(const BYTE check[PACKAGE_CHECK_SIZE], const BYTE digest[SHA256_DIGEST_SIZE]);

// Reads the package and judges its check. FALSE when it cannot be read.
BOOL CheckPackageFile(HANDLE hFile, PackageCheckState& state);

// Writes the check of the file's present bytes into its header. The file
// must be open for reading and writing; its position is left anywhere.
BOOL SealPackageFile(HANDLE hFile);

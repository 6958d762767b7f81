#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "package/Sha256.h"

// What the medium command records in setup.exe of the packages it made
// beside it: each package's name, size and SHA-256. The record lies in a
// section of its own, ".medium", which the medium command fills in before
// it signs setup.exe, so that one Authenticode signature covers the program
// and, through the record, every package of the medium. A build not made
// into a medium records nothing.
//
// Layout (little-endian), MEDIUM_RECORD_SIZE bytes:
//   0    16  "LUMIRO-MEDIUM-01"
//   16    4  number of packages recorded (0 to MEDIUM_RECORD_MAX)
//   20   12  zero
//   32   64  per package: name (16 bytes of ASCII, zero-padded), size
//            (8 bytes), zero (8 bytes), SHA-256 (32 bytes)
constexpr DWORD MEDIUM_RECORD_SIZE = 512;
constexpr DWORD MEDIUM_RECORD_HEAD = 32;
constexpr DWORD MEDIUM_RECORD_ENTRY = 64;
constexpr DWORD MEDIUM_RECORD_MAX = (MEDIUM_RECORD_SIZE - MEDIUM_RECORD_HEAD) / MEDIUM_RECORD_ENTRY;

struct RecordedPackage
{
    std::string name;
    ULONGLONG size = 0;
    BYTE sha256[SHA256_DIGEST_SIZE] = {};
};

// The packages recorded in the record's bytes; empty for a record of none,
// and for bytes that are no record (a wrong mark, a count out of range, a
// name that does not end in its field), which count as no record.
std::vector<RecordedPackage> ParseMediumRecord(const BYTE* record);

// The packages this program's own record names.
std::vector<RecordedPackage> ReadOwnMediumRecord();

// The recorded package of that name (compared without regard to case), or
// null.
const RecordedPackage* FindRecordedPackage(const std::vector<RecordedPackage>& record, const std::string& name);

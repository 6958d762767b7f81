#include "run/MediumRecord.h"

#include <cstring>

namespace
{
constexpr char RECORD_MARK[] = "LUMIRO-MEDIUM-01";
constexpr DWORD MARK_SIZE = 16;
constexpr DWORD NAME_SIZE = 16;
constexpr DWORD ENTRY_SIZE_FIELD = 16;
constexpr DWORD ENTRY_DIGEST_FIELD = 32;
static_assert(sizeof RECORD_MARK == MARK_SIZE + 1, "the mark fills its 16 bytes");
static_assert(ENTRY_DIGEST_FIELD + SHA256_DIGEST_SIZE == MEDIUM_RECORD_ENTRY, "entry layout");

// The record as a build leaves it: the mark and no package. "used" keeps it
// in the program although only a pointer reads it; the medium command finds
// it by its section's name.
__attribute__((section(".medium"), used)) const BYTE g_mediumRecord[MEDIUM_RECORD_SIZE] = {
    'L', 'U', 'M', 'I', 'R', 'O', '-', 'M', 'E', 'D', 'I', 'U', 'M', '-', '0', '1'};

// Package names are ASCII: compared letter by letter without regard to case.
bool SameAsciiName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
        const char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

ULONGLONG LoadLE64(const BYTE* p)
{
    ULONGLONG value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}
} // namespace

std::vector<RecordedPackage> ParseMediumRecord(const BYTE* record)
{
    std::vector<RecordedPackage> packages;
    if (std::memcmp(record, RECORD_MARK, MARK_SIZE) != 0)
        return packages;
    const DWORD count = static_cast<DWORD>(record[16]) | (static_cast<DWORD>(record[17]) << 8) |
                        (static_cast<DWORD>(record[18]) << 16) | (static_cast<DWORD>(record[19]) << 24);
    if (count > MEDIUM_RECORD_MAX)
        return packages;
    for (DWORD i = 0; i < count; ++i)
    {
        const BYTE* entry = record + MEDIUM_RECORD_HEAD + MEDIUM_RECORD_ENTRY * i;
        const void* end = std::memchr(entry, 0, NAME_SIZE);
        if (end == nullptr || end == entry)
            return {};
        RecordedPackage package;
        package.name.assign(reinterpret_cast<const char*>(entry), static_cast<const BYTE*>(end) - entry);
        package.size = LoadLE64(entry + ENTRY_SIZE_FIELD);
        std::memcpy(package.sha256, entry + ENTRY_DIGEST_FIELD, SHA256_DIGEST_SIZE);
        packages.push_back(package);
    }
    return packages;
}

std::vector<RecordedPackage> ReadOwnMediumRecord()
{
    // Read through a volatile pointer: the compiler knows the bytes the
    // build gave the record, not those the medium command wrote since.
    const volatile BYTE* own = g_mediumRecord;
    BYTE copy[MEDIUM_RECORD_SIZE];
    for (DWORD i = 0; i < MEDIUM_RECORD_SIZE; ++i)
        copy[i] = own[i];
    return ParseMediumRecord(copy);
}

const RecordedPackage* FindRecordedPackage(const std::vector<RecordedPackage>& record, const std::string& name)
{
    for (const RecordedPackage& package : record)
        if (SameAsciiName(package.name, name))
            return &package;
    return nullptr;
}

// Finds VS_FIXEDFILEINFO in a PE image: headers, section table, the three
// levels of the resource directory (type RT_VERSION, first name, first
// language), then the VS_VERSIONINFO block. Every offset and count comes
// from the file and is checked before use.
#include "PeVersion.h"

#include <cstring>

#include "package/PackageFormat.h"

namespace
{
constexpr DWORD kRtVersion = 16;
constexpr DWORD kFixedInfoSignature = 0xFEEF04BD;
constexpr WORD kMaxSections = 1024;

struct Section
{
    DWORD virtualAddress;
    DWORD rawSize;
    DWORD rawPointer;
};

class CPeImage
{
public:
    explicit CPeImage(CByteSource& source) : m_source(source) {}

    bool Load()
    {
        BYTE dos[64];
        if (!m_source.ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
            return false;
        const ULONGLONG pe = LoadLE32(dos + 0x3C);
        BYTE coff[24];
        if (!m_source.ReadAt(pe, coff, sizeof coff) || std::memcmp(coff, "PE\0\0", 4) != 0)
            return false;
        const WORD sectionCount = LoadLE16(coff + 6);
        const WORD optionalSize = LoadLE16(coff + 20);
        if (sectionCount == 0 || sectionCount > kMaxSections)
            return false;

        const ULONGLONG optional = pe + 24;
        BYTE magic[2];
        if (!m_source.ReadAt(optional, magic, 2))
            return false;
        DWORD directories;
        switch (LoadLE16(magic))
        {
        case 0x10B: // PE32
            directories = 96;
            break;
        case 0x20B: // PE32+
            directories = 112;
            break;
        default:
            return false;
        }
        // Data directory 2 is the resource table.
        if (optionalSize < directories + 3 * 8)
            return false;
        BYTE count[4], resource[8];
        if (!m_source.ReadAt(optional + directories - 4, count, 4) || LoadLE32(count) < 3 ||
            !m_source.ReadAt(optional + directories + 2 * 8, resource, 8))
            return false;
        m_resourceRva = LoadLE32(resource);
        if (m_resourceRva == 0 || LoadLE32(resource + 4) == 0)
            return false;

        const ULONGLONG table = optional + optionalSize;
        for (WORD i = 0; i < sectionCount; ++i)
        {
            BYTE header[40];
            if (!m_source.ReadAt(table + 40ULL * i, header, sizeof header))
                return false;
            m_sections.push_back({LoadLE32(header + 12), LoadLE32(header + 16), LoadLE32(header + 20)});
        }
        return true;
    }

    // Reads count bytes at a relative virtual address of the image.
    bool ReadRva(ULONGLONG rva, void* buffer, DWORD count)
    {
        for (const Section& s : m_sections)
            if (rva >= s.virtualAddress && rva + count <= static_cast<ULONGLONG>(s.virtualAddress) + s.rawSize)
                return m_source.ReadAt(s.rawPointer + (rva - s.virtualAddress), buffer, count);
        return false;
    }

    // The entry of a resource directory (at an offset into the resource
    // table) with the given ID, or its first entry when id is ~0.
    bool FindEntry(DWORD directory, DWORD id, DWORD& target)
    {
        BYTE header[16];
        if (!ReadRva(ULONGLONG(m_resourceRva) + directory, header, sizeof header))
            return false;
        const DWORD entries = DWORD(LoadLE16(header + 12)) + LoadLE16(header + 14);
        for (DWORD i = 0; i < entries; ++i)
        {
            BYTE entry[8];
            if (!ReadRva(ULONGLONG(m_resourceRva) + directory + 16 + 8ULL * i, entry, sizeof entry))
                return false;
            const DWORD name = LoadLE32(entry);
            if (id == ~0u || ((name & 0x80000000u) == 0 && name == id))
            {
                target = LoadLE32(entry + 4);
                return true;
            }
        }
        return false;
    }

    DWORD ResourceRva() const { return m_resourceRva; }

private:
    CByteSource& m_source;
    std::vector<Section> m_sections;
    DWORD m_resourceRva = 0;
};
} // namespace

CFileByteSource::CFileByteSource(HANDLE hFile) : m_hFile(hFile), m_size(0)
{
    DWORD high = 0;
    const DWORD low = GetFileSize(hFile, &high);
    if (low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR)
        m_size = (ULONGLONG(high) << 32) | low;
}

bool CFileByteSource::ReadAt(ULONGLONG offset, void* buffer, DWORD count)
{
    if (offset > m_size || count > m_size - offset)
        return false;
    LONG high = static_cast<LONG>(offset >> 32);
    const DWORD low = SetFilePointer(m_hFile, static_cast<LONG>(offset), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return false;
    DWORD got = 0;
    return ReadFile(m_hFile, buffer, count, &got, nullptr) && got == count;
}

bool CMemoryByteSource::ReadAt(ULONGLONG offset, void* buffer, DWORD count)
{
    if (offset > m_size || count > m_size - offset)
        return false;
    std::memcpy(buffer, m_data + offset, count);
    return true;
}

bool ReadPeFileVersion(CByteSource& source, ULONGLONG& version)
{
    version = 0;
    CPeImage image(source);
    if (!image.Load())
        return false;
    // Type, name and language levels: each must lead to the next directory
    // (high bit set), and the last to a data entry (high bit clear).
    DWORD target = 0;
    if (!image.FindEntry(0, kRtVersion, target) || (target & 0x80000000u) == 0 ||
        !image.FindEntry(target & 0x7FFFFFFFu, ~0u, target) || (target & 0x80000000u) == 0 ||
        !image.FindEntry(target & 0x7FFFFFFFu, ~0u, target) || (target & 0x80000000u) != 0)
        return false;
    BYTE dataEntry[8];
    if (!image.ReadRva(ULONGLONG(image.ResourceRva()) + target, dataEntry, sizeof dataEntry))
        return false;
    const DWORD dataRva = LoadLE32(dataEntry);
    const DWORD dataSize = LoadLE32(dataEntry + 4);

    // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO",
    // padding to 32 bits, then VS_FIXEDFILEINFO.
    static const char kKey[] = "VS_VERSION_INFO";
    constexpr DWORD kKeyEnd = 6 + 2 * sizeof kKey;   // after the terminator
    constexpr DWORD kFixed = (kKeyEnd + 3) & ~3u;    // 40
    constexpr DWORD kNeeded = kFixed + 52;
    BYTE block[kNeeded];
    if (dataSize < kNeeded || !image.ReadRva(dataRva, block, kNeeded))
        return false;
    if (LoadLE16(block) < kNeeded || LoadLE16(block + 2) < 52)
        return false;
    for (DWORD i = 0; i < sizeof kKey; ++i)
        if (LoadLE16(block + 6 + 2 * i) != static_cast<BYTE>(kKey[i]))
            return false;
    if (LoadLE32(block + kFixed) != kFixedInfoSignature)
        return false;
    version = (ULONGLONG(LoadLE32(block + kFixed + 8)) << 32) | LoadLE32(block + kFixed + 12);
    return true;
}

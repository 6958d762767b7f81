#pragma once
#include <windows.h>

#include <cstddef>

// The Unicode font-mapping tables that the setup writes for the installed
// application: constant data, one registry key per typeface under
// HKEY_LOCAL_MACHINE\<FONT_MAPPING_KEY><typeface name>.

constexpr char FONT_MAPPING_KEY[] = "Software\\Corvane\\Unicode Support\\Font Mapping\\";

// "USB Signature" of every typeface: the Unicode-subset bits of a font
// signature as four little-endian 32-bit words, only bit 60 (Private Use Area)
// set.
constexpr char FONT_USB_SIGNATURE[] = "00-00-00-00-00-00-00-10-00-00-00-00-00-00-00-00";

// "Zone n First/Last/Offset": code points first to last (inclusive) stand for
// the typeface's character codes first - offset to last - offset (0x00-0xFF).
struct FontZone
{
    DWORD first;
    DWORD last;
    DWORD offset;
};

// "Multimap n From" and "Multimap n CH k": one code point that stands for a
// sequence of 2 to 5 UTF-16 code units. The sequence ends at the first 0.
struct FontMultimapEntry
{
    static constexpr int MAX_CHARS = 5;
    DWORD from;
    WORD chars[MAX_CHARS];

    int CharCount() const
    {
        int count = 0;
        while (count < MAX_CHARS && chars[count])
            ++count;
        return count;
    }
};

// "Mapping n": the code point that is mapped in the high 16 bits, the code
// point it maps to in the low 16 bits.
constexpr DWORD FontMap(WORD mapped, WORD mappedTo)
{
    return (DWORD{mapped} << 16) | mappedTo;
}

// The values of an advanced typeface beyond its signatures.
struct FontAdvancedTables
{
    const FontZone* zones;
    size_t zoneCount;
    const FontMultimapEntry* multimap; // the entries written
    size_t multimapEntries;
    DWORD multimapCount; // the "Multimap Count" written
    const DWORD* mappings;
    size_t mappingCount;
};

struct FontTypeface
{
    const char* name;
    DWORD customSignature;              // one bit per typeface group
    const FontAdvancedTables* advanced; // null for signatures only
};

// The typefaces in the order in which they are written.
extern const FontTypeface FONT_TYPEFACES[];
extern const size_t FONT_TYPEFACE_COUNT;

// The advanced tables, named for the tests that check them as data.
extern const FontAdvancedTables BN_TTBIDISHA_TABLES;
extern const FontAdvancedTables AS_TTBIDISHA_TABLES;
extern const FontAdvancedTables SIMPLIFIED_ARABIC_TABLES;

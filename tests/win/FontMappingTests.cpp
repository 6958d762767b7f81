// The font-mapping tables checked as data, against the values the
// application's font data fixes and the rules the supplied entries follow.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "registry/FontMappingTables.h"

namespace
{
WORD High(DWORD mapping)
{
    return static_cast<WORD>(mapping >> 16);
}
WORD Low(DWORD mapping)
{
    return static_cast<WORD>(mapping & 0xFFFF);
}

// Code points Windows-1252 gives its bytes 0x80 to 0x9F.
const std::set<WORD> CP1252_HIGH_BYTES = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x017D, 0x2018,
                                          0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC,
                                          0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};
bool InRepertoire(WORD c)
{
    return c <= 0xFF || CP1252_HIGH_BYTES.count(c);
}

std::vector<DWORD> Mappings(const FontAdvancedTables& t)
{
    return {t.mappings, t.mappings + t.mappingCount};
}
std::vector<WORD> Chars(const FontMultimapEntry& e)
{
    return {e.chars, e.chars + e.CharCount()};
}
} // namespace

TEST(FontMappingTables, ListFortyFourTypefacesInGroupsWithTheirSignatures)
{
    ASSERT_EQ(FONT_TYPEFACE_COUNT, 44u);
    // Count, signature and whether advanced, per group in order.
    const struct
    {
        size_t count;
        DWORD signature;
        bool advanced;
    } groups[] = {{17, 0x1, false}, {16, 0x2, false}, {5, 0x4, false}, {1, 0x8, false}, {5, 0x2, true}};
    size_t f = 0;
    for (const auto& group : groups)
    {
        for (size_t i = 0; i < group.count; ++i, ++f)
        {
            EXPECT_EQ(FONT_TYPEFACES[f].customSignature, group.signature) << FONT_TYPEFACES[f].name;
            EXPECT_EQ(FONT_TYPEFACES[f].advanced != nullptr, group.advanced) << FONT_TYPEFACES[f].name;
        }
    }
    EXPECT_STREQ(FONT_TYPEFACES[0].name, "DV-Dhruv");
    EXPECT_STREQ(FONT_TYPEFACES[16].name, "DV-TTYogesh");
    EXPECT_STREQ(FONT_TYPEFACES[17].name, "AnandapatraP");
    EXPECT_STREQ(FONT_TYPEFACES[32].name, "SutonnyP");
    EXPECT_STREQ(FONT_TYPEFACES[33].name, "TM-TTBharathi");
    EXPECT_STREQ(FONT_TYPEFACES[38].name, "Nafees Nastaleeq");
    const char* advanced[] = {"BN-TTBidisha", "AS-TTBidisha", "Simplified Arabic", "Simplified Arabic Bold",
                              "Simplified Arabic Fixed"};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_STREQ(FONT_TYPEFACES[39 + i].name, advanced[i]);
    std::set<std::string> names;
    for (size_t i = 0; i < FONT_TYPEFACE_COUNT; ++i)
        names.insert(FONT_TYPEFACES[i].name);
    EXPECT_EQ(names.size(), 44u);
    EXPECT_EQ(FONT_TYPEFACES[41].advanced, FONT_TYPEFACES[42].advanced); // the Arabic three share one table
    EXPECT_EQ(FONT_TYPEFACES[41].advanced, FONT_TYPEFACES[43].advanced);
}

TEST(FontMappingTables, HaveTheirCountsPerTypeface)
{
    const struct
    {
        const FontAdvancedTables& tables;
        size_t zones, multimapEntries, multimapCount, mappings;
    } expected[] = {{BN_TTBIDISHA_TABLES, 6, 39, 39, 144},
                    {AS_TTBIDISHA_TABLES, 6, 38, 38, 147},
                    {SIMPLIFIED_ARABIC_TABLES, 0, 0, 0, 39}};
    for (const auto& e : expected)
    {
        EXPECT_EQ(e.tables.zoneCount, e.zones);
        EXPECT_EQ(e.tables.multimapEntries, e.multimapEntries);
        EXPECT_EQ(e.tables.multimapCount, e.multimapCount);
        EXPECT_EQ(e.tables.mappingCount, e.mappings);
    }
}

TEST(FontMappingTables, ZonesMapOntoSingleByteCodesAndAreSharedByBothBidishaTypefaces)
{
    const FontZone expected[] = {{57600, 57663, 57600}, {57667, 57669, 57607}, {57670, 57683, 57606},
                                 {57686, 57690, 57606}, {57695, 57704, 57610}, {57714, 57716, 57614}};
    ASSERT_EQ(BN_TTBIDISHA_TABLES.zoneCount, 6u);
    for (size_t z = 0; z < 6; ++z)
    {
        const FontZone& zone = BN_TTBIDISHA_TABLES.zones[z];
        EXPECT_EQ(zone.first, expected[z].first) << z + 1;
        EXPECT_EQ(zone.last, expected[z].last) << z + 1;
        EXPECT_EQ(zone.offset, expected[z].offset) << z + 1;
        EXPECT_LE(zone.offset, zone.first);
        EXPECT_LE(zone.last - zone.offset, 0xFFu);
        EXPECT_EQ(AS_TTBIDISHA_TABLES.zones[z].first, zone.first);
        EXPECT_EQ(AS_TTBIDISHA_TABLES.zones[z].offset, zone.offset);
    }
}

TEST(FontMappingTables, BidishaMultimapHoldsTheFixedEntriesAtTheirNumbers)
{
    const std::map<int, std::pair<DWORD, std::vector<WORD>>> fixed = {
        {1, {57666, {99, 79}}},
        {14, {57838, {183, 197, 143}}},
        {18, {57847, {186, 82, 244, 79}}},
        {23, {57763, {243, 732}}},
        {36, {57608, {172, 110, 188, 247, 197}}},
        {37, {57620, {8250, 245}}},
        {39, {57625, {121, 212}}}};
    for (const auto& [n, entry] : fixed)
    {
        EXPECT_EQ(BN_TTBIDISHA_TABLES.multimap[n - 1].from, entry.first) << n;
        EXPECT_EQ(Chars(BN_TTBIDISHA_TABLES.multimap[n - 1]), entry.second) << n;
    }
    // AS-TTBidisha's are BN-TTBidisha's 2 to 39, numbered from 1.
    for (size_t m = 0; m < AS_TTBIDISHA_TABLES.multimapEntries; ++m)
        EXPECT_EQ(&AS_TTBIDISHA_TABLES.multimap[m], &BN_TTBIDISHA_TABLES.multimap[m + 1]);
}

TEST(FontMappingTables, BidishaMultimapEntriesKeepToTheirStructureAndRanges)
{
    std::map<int, int> lengths;
    std::set<DWORD> froms;
    for (size_t m = 0; m < BN_TTBIDISHA_TABLES.multimapEntries; ++m)
    {
        const FontMultimapEntry& entry = BN_TTBIDISHA_TABLES.multimap[m];
        EXPECT_GE(entry.from, 0xE108u) << m + 1;
        EXPECT_LE(entry.from, 0xE1FFu) << m + 1;
        EXPECT_TRUE(froms.insert(entry.from).second) << "From repeated at " << m + 1;
        ++lengths[entry.CharCount()];
        for (WORD c : Chars(entry))
            EXPECT_TRUE(InRepertoire(c)) << m + 1 << ": " << c;
    }
    EXPECT_EQ(lengths, (std::map<int, int>{{2, 31}, {3, 4}, {4, 3}, {5, 1}}));
}

TEST(FontMappingTables, BidishaMappingsHoldTheFixedEntriesAtTheirNumbers)
{
    const std::vector<DWORD> bn = Mappings(BN_TTBIDISHA_TABLES);
    EXPECT_EQ(bn[0], 3779133477u);
    EXPECT_EQ(bn[14], 538575049u);
    EXPECT_EQ(bn[25], 3784253730u);
    EXPECT_EQ(bn[140], 3776970784u);
    EXPECT_EQ(bn[143], 3790340340u);
    EXPECT_EQ(bn[56], FontMap(0xE1BE, 0x0023));
    EXPECT_EQ(bn[87], FontMap(0xE155, 0x00AE));
    EXPECT_EQ(bn[115], FontMap(0xE187, 0x00B0));

    // AS-TTBidisha's is BN-TTBidisha's with exactly four differences.
    std::vector<DWORD> as = bn;
    as[56] = FontMap(0xE1BE, 0x0080);
    as[87] = FontMap(0xE155, 0x004F);
    as[115] = FontMap(0xE187, 0x00B3);
    const DWORD added[] = {FontMap(0xE142, 0x002B), FontMap(0xE1A0, 0x00BB), FontMap(0xE15C, 0x00BE)};
    as.insert(as.begin() + 96, std::begin(added), std::end(added));
    EXPECT_EQ(Mappings(AS_TTBIDISHA_TABLES), as);
}

TEST(FontMappingTables, BidishaMappingsKeepToTheirRangesWithUniqueMappedCodePoints)
{
    const std::set<WORD> cp1252Mapped = {0x0153, 0x0160, 0x0161, 0x0178, 0x0192, 0x02C6, 0x02DC, 0x2019,
                                         0x201A, 0x201E, 0x2020, 0x2021, 0x2026, 0x2030, 0x203A, 0x2122};
    for (const FontAdvancedTables* tables : {&BN_TTBIDISHA_TABLES, &AS_TTBIDISHA_TABLES})
    {
        std::set<WORD> highs;
        std::set<WORD> nonPrivate;
        for (DWORD mapping : Mappings(*tables))
        {
            const WORD high = High(mapping);
            const WORD low = Low(mapping);
            EXPECT_TRUE(highs.insert(high).second) << "mapped twice: " << std::hex << high;
            EXPECT_TRUE(low >= 0x20 && low <= 0x2122 && InRepertoire(low)) << std::hex << low;
            if (high < 0xE101 || high > 0xE1FE)
            {
                EXPECT_TRUE(cp1252Mapped.count(high)) << std::hex << high;
                nonPrivate.insert(high);
            }
        }
        EXPECT_EQ(nonPrivate, cp1252Mapped);
        // A code point that a multimap entry stands for is not mapped as well.
        for (size_t m = 0; m < tables->multimapEntries; ++m)
            EXPECT_FALSE(highs.count(static_cast<WORD>(tables->multimap[m].from))) << m + 1;
    }
}

TEST(FontMappingTables, SimplifiedArabicMapsFinalToIsolatedAndInitialToMedialForms)
{
    const std::vector<DWORD> mappings = Mappings(SIMPLIFIED_ARABIC_TABLES);
    ASSERT_EQ(mappings.size(), 39u);
    EXPECT_EQ(mappings[0], 4271308437u);
    const WORD highs[39] = {0xFE96, 0xFE97, 0xFE9A, 0xFE9B, 0xFE9F, 0xFEA3, 0xFEA7, 0xFEAA, 0xFEAC, 0xFEAE,
                            0xFEB0, 0xFEB2, 0xFEB3, 0xFEB6, 0xFEB7, 0xFEBA, 0xFEBB, 0xFEBE, 0xFEBF, 0xFEC2,
                            0xFEC3, 0xFEC4, 0xFEC6, 0xFEC7, 0xFEC8, 0xFED2, 0xFED6, 0xFEDA, 0xFEDB, 0xFEDE,
                            0xFEE2, 0xFEE3, 0xFEE6, 0xFEE7, 0xFEEE, 0xFEF3, 0xFE90, 0xFE91, 0xFE8B};
    const std::set<int> finals = {1, 3, 8, 9, 10, 11, 12, 14, 16, 18, 26, 27, 28, 30, 31, 33, 35, 37};
    const std::set<int> initials = {2, 4, 5, 6, 7, 13, 15, 17, 19, 29, 32, 34, 36, 38, 39};
    for (int n = 1; n <= 39; ++n)
    {
        const WORD high = High(mappings[n - 1]);
        const WORD low = Low(mappings[n - 1]);
        EXPECT_EQ(high, highs[n - 1]) << n;
        // A final form follows its isolated form; a medial form its initial.
        // TAH and ZAH map final, initial and medial forms to the isolated one.
        int expectedLow = finals.count(n)     ? high - 1
                          : initials.count(n) ? high + 1
                          : n <= 22           ? 0xFEC1
                                              : 0xFEC5;
        EXPECT_EQ(low, expectedLow) << n;
        if (n >= 20 && n <= 25)
        {
            EXPECT_EQ(high - low, (n - 20) % 3 + 1) << n;
        }
    }
}

// The catalog and its entries: look-up, kind names, the Set templates,
// the reading rules for records, cut names and labels, class information.
#include <cstring>

#include "TestSupport.h"

using namespace lumtest;

namespace
{
CPackageCatalog CatalogOf(std::initializer_list<const char*> names)
{
    CPackageCatalog catalog;
    for (const char* name : names)
        catalog.Add(FileEntry(name));
    return catalog;
}
} // namespace

TEST(CatalogFind, SearchesFromTheEndWithoutRegardToCase)
{
    const CPackageCatalog catalog = CatalogOf({"Bin\\Tool.EXE", "readme.txt", "bin\\tool.exe", "other"});
    EXPECT_EQ(2, catalog.Find(W("BIN\\TOOL.exe").c_str()));
    EXPECT_EQ(1, catalog.Find(W("README.TXT").c_str()));
    EXPECT_EQ(-1, catalog.Find(W("bin\\tool").c_str()));
    EXPECT_EQ(-1, catalog.Find(W("bin\\tool.exe2").c_str()));
    EXPECT_EQ(-1, CPackageCatalog().Find(W("anything").c_str()));
}

TEST(CatalogFind, FoldsLettersBeyondAscii)
{
    CPackageCatalog catalog;
    const Name lower = {0xE9, 0x3B1, 0x436, 0x101, 'x'}; // é α ж ā x
    const Name upper = {0xC9, 0x391, 0x416, 0x100, 'X'}; // É Α Ж Ā X
    CPackageCatalogEntry entry;
    entry.SetDirectory(lower.c_str());
    catalog.Add(entry);
    EXPECT_EQ(0, catalog.Find(upper.c_str()));
    const Name other = {0xE9, 0x3B1, 0x436, 0x102, 'x'};
    EXPECT_EQ(-1, catalog.Find(other.c_str()));
}

TEST(CatalogEntry, KindNamesIncludeUnknownKinds)
{
    CPackageCatalogEntry entry;
    const char* const names[] = {"File", "Directory", "Config Obj", "Lexicon Seg"};
    BYTE record[PACKAGE_RECORD_SIZE] = {};
    for (DWORD kind = 0; kind < 4; ++kind)
    {
        StoreLE32(record + RECORD_KIND, kind);
        entry.DecodeRecord(record);
        EXPECT_EQ(names[kind], entry.GetKindName());
    }
    StoreLE32(record + RECORD_KIND, 7);
    entry.DecodeRecord(record);
    EXPECT_EQ("Unknown - 7", entry.GetKindName());
    StoreLE32(record + RECORD_KIND, static_cast<DWORD>(-2));
    entry.DecodeRecord(record);
    EXPECT_EQ("Unknown - -2", entry.GetKindName());
}

TEST(CatalogEntry, SetTemplatesClearEverythingAndPlaceTheirValues)
{
    CPackageCatalogEntry entry;
    BYTE record[PACKAGE_RECORD_SIZE];
    std::memset(record, 0xAB, sizeof record);
    entry.DecodeRecord(record);

    const BYTE block[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    entry.SetConfigObj(W("cfg").c_str(), 0x11223344, block, 0x55667788, 0x99AABBCC);
    EXPECT_EQ(2, entry.GetKind());
    EXPECT_EQ(0u, entry.GetStoredSize());
    EXPECT_EQ(0u, entry.GetUncompressedSize());
    EXPECT_EQ(0u, entry.GetDataOffset());
    const BYTE* k = entry.GetKindData();
    EXPECT_EQ(0x11223344u, LoadLE32(k + 0));
    EXPECT_EQ(0u, LoadLE32(k + 4));
    EXPECT_EQ(0x55667788u, LoadLE32(k + 8));
    EXPECT_EQ(0x99AABBCCu, LoadLE32(k + 12));
    EXPECT_EQ(0, std::memcmp(k + 16, block, 16));
    for (DWORD i = 32; i < PACKAGE_KIND_DATA_SIZE; ++i)
        ASSERT_EQ(0, k[i]);

    entry.SetLexiconSeg(W("lex").c_str());
    EXPECT_EQ(3, entry.GetKind());
    for (DWORD i = 0; i < PACKAGE_KIND_DATA_SIZE; ++i)
        ASSERT_EQ(0, entry.GetKindData()[i]);
    entry.EncodeRecord(record);
    EXPECT_EQ(0, std::memcmp(record, "l\0e\0x\0\0\0", 8));
    for (DWORD i = 8; i < 2048; ++i)
        ASSERT_EQ(0, record[i]) << "name unit garbage at " << i;

    entry.SetFile(W("f").c_str(), MakeFileTime(1), MakeFileTime(2), 0x0004000300020001ULL);
    const PackageFileInfo info = entry.GetFileInfo();
    EXPECT_EQ(0x00040003u, info.dwVersionMS);
    EXPECT_EQ(0x00020001u, info.dwVersionLS);
    EXPECT_EQ(1u, info.ftCreation.dwLowDateTime);
    EXPECT_EQ(2u, info.ftLastWrite.dwLowDateTime);
}

TEST(CatalogEntry, ReadingIgnoresTheReservedFieldAndTakesStoredSizeZeroAsTheUncompressedSize)
{
    BYTE record[PACKAGE_RECORD_SIZE] = {};
    StoreLE32(record + RECORD_RESERVED, 0xFFFFFFFF);
    StoreLE32(record + RECORD_UNCOMPRESSED_SIZE, 5);
    StoreLE32(record + RECORD_DATA_OFFSET, 1234);
    CPackageCatalogEntry entry;
    entry.DecodeRecord(record);
    EXPECT_EQ(5u, entry.GetStoredSize());
    EXPECT_EQ(1234u, entry.GetDataOffset());
    BYTE again[PACKAGE_RECORD_SIZE];
    entry.EncodeRecord(again);
    EXPECT_EQ(0u, LoadLE32(again + RECORD_RESERVED));
}

TEST(CatalogEntry, ANameOfAllUnitsIsEndedAndLongNamesAreCutSoTheTerminatorFits)
{
    BYTE record[PACKAGE_RECORD_SIZE];
    std::memset(record, 'a', 2048);
    CPackageCatalogEntry entry;
    entry.DecodeRecord(record);
    EXPECT_EQ(1023u, std::char_traits<WCHAR>::length(entry.GetName()));

    const Name longName(5000, 'n');
    entry.SetDirectory(longName.c_str());
    EXPECT_EQ(Name(1023, 'n'), entry.GetName());

    // A cut that would split a surrogate pair drops its first half.
    Name pairs(1022, 'p');
    pairs += {0xD83D, 0xDE00, 'z'};
    entry.SetDirectory(pairs.c_str());
    EXPECT_EQ(Name(1022, 'p'), entry.GetName());
}

TEST(CatalogLabel, ALongLabelIsCutTo63CharactersAndItsTerminator)
{
    CPackageCatalog catalog;
    EXPECT_EQ(4, catalog.SetLabel("abc"));
    EXPECT_STREQ("abc", catalog.GetLabel());
    const std::string label63(63, 'x'), label64(64, 'y'), label200(200, 'z');
    EXPECT_EQ(64, catalog.SetLabel(label63.c_str()));
    EXPECT_EQ(label63, catalog.GetLabel());
    EXPECT_EQ(64, catalog.SetLabel(label64.c_str()));
    EXPECT_EQ(std::string(63, 'y'), catalog.GetLabel());
    EXPECT_EQ(64, catalog.SetLabel(label200.c_str()));
    EXPECT_EQ(std::string(63, 'z'), catalog.GetLabel());
}

TEST(CatalogCopy, CopiesAreIndependentValues)
{
    CPackageCatalog catalog = CatalogOf({"a", "b"});
    catalog.SetLabel("one");
    CPackageCatalog copy = catalog;
    catalog.SetLabel("two");
    catalog.RemoveAll();
    EXPECT_STREQ("one", copy.GetLabel());
    ASSERT_EQ(2, copy.GetCount());
    EXPECT_EQ(W("b"), copy.GetAt(1).GetName());
    EXPECT_EQ(W(""), copy.GetAt(2).GetName()) << "outside the catalog: an empty entry";
}

TEST(RuntimeClass, ThePackageClassesTellTheirNamesAndBase)
{
    CPackageFile file;
    CPackageCatalog catalog;
    CPackageCatalogEntry entry;
    const CObject* objects[] = {&file, &catalog, &entry};
    const char* const names[] = {"CPackageFile", "CPackageCatalog", "CPackageCatalogEntry"};
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_STREQ(names[i], objects[i]->GetRuntimeClass()->m_lpszClassName);
        EXPECT_TRUE(objects[i]->IsKindOf(RUNTIME_CLASS(CObject)));
    }
    EXPECT_TRUE(file.IsKindOf(RUNTIME_CLASS(CPackageFile)));
    EXPECT_FALSE(file.IsKindOf(RUNTIME_CLASS(CPackageCatalog)));
    EXPECT_FALSE(entry.IsKindOf(RUNTIME_CLASS(CPackageFile)));
}

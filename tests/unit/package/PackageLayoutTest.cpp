// The bytes of a package at their offsets, both ways: what the library
// writes, and a package written here field by field that the library reads.
#include <cstring>

#include <zlib.h>

#include "TestSupport.h"

using namespace lumtest;

namespace
{
const BYTE kSignature[16] = {0xF6, 0xCC, 0x51, 0xF0, 0x53, 0x87, 0xD2, 0x11,
                             0x96, 0x53, 0x00, 0xAA, 0x00, 0xAC, 0xC8, 0xDB};

void Put32(Bytes& b, size_t offset, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        b[offset + i] = static_cast<BYTE>(v >> (8 * i));
}

// One record from the layout table: name at 0 (UTF-16LE), kind at 2048,
// kind data at 2052, reserved at 3068, stored size at 3072, uncompressed
// size at 3076, data offset at 3080.
Bytes Record(const std::string& name, DWORD kind, const Bytes& kindData, DWORD reserved, DWORD stored,
             DWORD uncompressed, DWORD offset)
{
    Bytes r(3084, 0);
    for (size_t i = 0; i < name.size(); ++i)
        r[2 * i] = static_cast<BYTE>(name[i]);
    Put32(r, 2048, kind);
    std::memcpy(&r[2052], kindData.data(), kindData.size());
    Put32(r, 3068, reserved);
    Put32(r, 3072, stored);
    Put32(r, 3076, uncompressed);
    Put32(r, 3080, offset);
    return r;
}

Bytes Header(DWORD catalogOffset, DWORD build, DWORD compressed)
{
    Bytes h(256, 0);
    std::memcpy(h.data(), kSignature, 16);
    Put32(h, 16, catalogOffset);
    Put32(h, 20, build);
    Put32(h, 24, compressed);
    return h;
}

Bytes ZlibStream(const Bytes& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    EXPECT_EQ(Z_OK, compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 6));
    out.resize(size);
    return out;
}

// A package with a File entry, a Directory entry and an entry without
// data, written from the tables.
Bytes HandWrittenPackage(bool compressed, const Bytes& content, const Bytes& stored)
{
    Bytes file = Header(0, 2093, compressed ? 1 : 0);
    file.insert(file.end(), stored.begin(), stored.end());
    const DWORD catalogOffset = static_cast<DWORD>(file.size());
    Put32(file, 16, catalogOffset);

    Bytes head(68, 0);
    Put32(head, 0, 3);
    std::memcpy(&head[4], "hand made", 9);
    file.insert(file.end(), head.begin(), head.end());

    Bytes info(24, 0);
    Put32(info, 0, 0x11111111);  // creation, low
    Put32(info, 4, 0x01D00000);  // creation, high
    Put32(info, 8, 0x22222222);  // last write, low
    Put32(info, 12, 0x01D10000); // last write, high
    Put32(info, 16, 0x00030004); // version LS: 3.4
    Put32(info, 20, 0x00010002); // version MS: 1.2
    const Bytes records[] = {
        Record("bin\\tool.exe", 0, info, 0xDEADBEEF, static_cast<DWORD>(stored.size()),
               static_cast<DWORD>(content.size()), 256),
        Record("bin", 1, {}, 0, 0, 0, 0),
        Record("later", 3, {}, 0, 0, 5, 0),
    };
    for (const Bytes& r : records)
        file.insert(file.end(), r.begin(), r.end());
    return file;
}
} // namespace

TEST(PackageLayout, AnEmptyPackageIs324BytesWithItsCatalogAt256)
{
    ScratchDir dir;
    const std::string path = dir.Path("empty.pkg");
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(path.c_str(), TRUE));
        ASSERT_TRUE(package.Commit());
    }
    const Bytes bytes = ReadBytes(path);
    ASSERT_EQ(324u, bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.data(), kSignature, 16));
    EXPECT_EQ(256u, Le32(bytes, 16));
    EXPECT_EQ(2093u, Le32(bytes, 20));
    EXPECT_EQ(1u, Le32(bytes, 24));
    // The package's own check: kind 1 and the SHA-256 of every other byte.
    EXPECT_EQ(1u, Le32(bytes, 28));
    Bytes rest(bytes.begin(), bytes.begin() + 28);
    rest.insert(rest.end(), bytes.begin() + 64, bytes.end());
    CSha256 hash;
    hash.Update(rest.data(), rest.size());
    BYTE digest[SHA256_DIGEST_SIZE];
    hash.Final(digest);
    EXPECT_EQ(0, std::memcmp(digest, &bytes[32], SHA256_DIGEST_SIZE));
    for (size_t i = 64; i < 324; ++i)
        ASSERT_EQ(0, bytes[i]) << "at offset " << i;
}

TEST(PackageLayout, HeaderAndRecordFieldsLieAtTheirOffsets)
{
    ScratchDir dir;
    const std::string path = dir.Path("one.pkg");
    const Bytes data = {'a', 'b', 'c', 'd', 'e'};
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(path.c_str(), FALSE));
        EXPECT_EQ(6, package.SetLabel("label"));
        CPackageCatalogEntry entry;
        entry.SetFile(W("dir\\f.txt").c_str(), MakeFileTime(0x0102030405060708ULL),
                      MakeFileTime(0x1112131415161718ULL), 0x0001000200030004ULL);
        ASSERT_TRUE(package.AddFromMemory(entry, data.data(), 5));
        ASSERT_TRUE(package.Commit());
    }
    const Bytes b = ReadBytes(path);
    ASSERT_EQ(256u + 5 + 68 + 3084, b.size());
    EXPECT_EQ(0u, Le32(b, 24)); // stored package
    EXPECT_EQ(0, std::memcmp(&b[256], "abcde", 5));
    const size_t catalog = 261;
    EXPECT_EQ(catalog, Le32(b, 16));
    EXPECT_EQ(1u, Le32(b, catalog));
    EXPECT_EQ(0, std::memcmp(&b[catalog + 4], "label\0", 6));
    const size_t r = catalog + 68;
    EXPECT_EQ('d', b[r]);
    EXPECT_EQ(0, b[r + 1]);
    EXPECT_EQ('\\', b[r + 6]);
    EXPECT_EQ(0, b[r + 18]); // terminator after 9 units
    EXPECT_EQ(0u, Le32(b, r + 2048));
    EXPECT_EQ(0x05060708u, Le32(b, r + 2052));
    EXPECT_EQ(0x01020304u, Le32(b, r + 2056));
    EXPECT_EQ(0x15161718u, Le32(b, r + 2060));
    EXPECT_EQ(0x11121314u, Le32(b, r + 2064));
    EXPECT_EQ(0x00030004u, Le32(b, r + 2068)); // version LS
    EXPECT_EQ(0x00010002u, Le32(b, r + 2072)); // version MS
    for (size_t i = r + 2076; i < r + 3072; ++i)
        ASSERT_EQ(0, b[i]) << "at offset " << i - r;
    EXPECT_EQ(5u, Le32(b, r + 3072));
    EXPECT_EQ(5u, Le32(b, r + 3076));
    EXPECT_EQ(256u, Le32(b, r + 3080));
}

TEST(PackageLayout, CompressedEntriesAreZlibStreamsThatFollowOneAnother)
{
    ScratchDir dir;
    const std::string path = dir.Path("two.pkg");
    const Bytes first = MixedData(100000, 1), second = MixedData(3000, 2);
    WritePackage(path, true, {first, second});
    const Bytes b = ReadBytes(path);
    const size_t r0 = Le32(b, 16) + 68, r1 = r0 + 3084;
    EXPECT_EQ(256u, Le32(b, r0 + 3080));
    EXPECT_EQ(256u + Le32(b, r0 + 3072), Le32(b, r1 + 3080));
    EXPECT_EQ(Le32(b, r1 + 3080) + Le32(b, r1 + 3072), Le32(b, 16));
    // Default level: zlib header 78 9C.
    EXPECT_EQ(0x78, b[256]);
    EXPECT_EQ(0x9C, b[257]);
    Bytes out(first.size());
    uLongf outSize = static_cast<uLongf>(out.size());
    ASSERT_EQ(Z_OK, uncompress(out.data(), &outSize, &b[256], Le32(b, r0 + 3072)));
    EXPECT_EQ(first, out);
}

TEST(PackageLayout, AHandWrittenPackageIsReadByTheLibrary)
{
    ScratchDir dir;
    const Bytes content = MixedData(70000, 3);
    for (const bool compressed : {false, true})
    {
        SCOPED_TRACE(compressed ? "compressed" : "stored");
        const std::string path = dir.Path(compressed ? "hand-c.pkg" : "hand-s.pkg");
        WriteBytes(path, HandWrittenPackage(compressed, content, compressed ? ZlibStream(content) : content));

        CPackageFile package;
        ASSERT_TRUE(package.Open(path.c_str(), FALSE));
        EXPECT_EQ(2093, package.GetBuild());
        const CPackageCatalog catalog = package.GetCatalog();
        ASSERT_EQ(3, catalog.GetCount());
        EXPECT_STREQ("hand made", catalog.GetLabel());

        const CPackageCatalogEntry file = catalog.GetAt(0);
        EXPECT_EQ(W("bin\\tool.exe"), file.GetName());
        EXPECT_EQ("File", file.GetKindName());
        const PackageFileInfo info = file.GetFileInfo();
        EXPECT_EQ(0x11111111u, info.ftCreation.dwLowDateTime);
        EXPECT_EQ(0x01D00000u, info.ftCreation.dwHighDateTime);
        EXPECT_EQ(0x22222222u, info.ftLastWrite.dwLowDateTime);
        EXPECT_EQ(0x01D10000u, info.ftLastWrite.dwHighDateTime);
        EXPECT_EQ(0x00010002u, info.dwVersionMS);
        EXPECT_EQ(0x00030004u, info.dwVersionLS);
        EXPECT_EQ("Directory", catalog.GetAt(1).GetKindName());
        // Stored size 0 reads back as the uncompressed size; the offset stays.
        EXPECT_EQ(5u, catalog.GetAt(2).GetStoredSize());
        EXPECT_EQ(0u, catalog.GetAt(2).GetDataOffset());

        CByteArray data;
        ASSERT_TRUE(package.ExtractToMemory(0, data));
        EXPECT_EQ(content, Bytes(data.GetData(), data.GetData() + data.GetSize()));
        package.Close();
    }
}

TEST(PackageLayout, AppendingPutsNewDataWhereTheOldCatalogWasAndEndsWithTheWholeCatalog)
{
    ScratchDir dir;
    const std::string path = dir.Path("append.pkg");
    const Bytes a = MixedData(1000, 4), b = MixedData(2000, 5);
    WritePackage(path, true, {a});
    const DWORD oldCatalog = Le32(ReadBytes(path), 16);
    {
        CPackageFile package;
        ASSERT_TRUE(package.Open(path.c_str(), TRUE));
        ASSERT_TRUE(package.AddFromMemory(FileEntry("second"), b.data(), 2000));
        ASSERT_TRUE(package.Commit());
    }
    const Bytes bytes = ReadBytes(path);
    const DWORD catalog = Le32(bytes, 16);
    ASSERT_EQ(catalog + 68 + 2 * 3084, bytes.size());
    EXPECT_EQ(2u, Le32(bytes, catalog));
    EXPECT_EQ(oldCatalog, Le32(bytes, catalog + 68 + 3084 + 3080));

    CPackageFile package;
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    CByteArray out;
    ASSERT_TRUE(package.ExtractToMemory(0, out));
    EXPECT_EQ(a, Bytes(out.GetData(), out.GetData() + out.GetSize()));
    ASSERT_TRUE(package.ExtractToMemory(1, out));
    EXPECT_EQ(b, Bytes(out.GetData(), out.GetData() + out.GetSize()));
    package.Close();
}

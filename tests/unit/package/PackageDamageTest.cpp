// What the library refuses, and how: bad headers and catalogs, damaged
// streams, packages cut at every length, and adds that would pass 2 GiB.
#include <zlib.h>

#include "TestSupport.h"

using namespace lumtest;

namespace
{
DWORD OpenError(const std::string& path)
{
    CPackageFile package;
    SetLastError(0);
    const BOOL ok = package.Open(path.c_str(), FALSE);
    const DWORD error = GetLastError();
    package.Close();
    return ok ? 0 : error;
}

// A compressed package with one entry, and the offset of its record.
struct OneEntry
{
    Bytes bytes;
    size_t record;
};

OneEntry CompressedPackage(ScratchDir& dir, const Bytes& data)
{
    const std::string path = dir.Path("base.pkg");
    DeleteFileA(path.c_str());
    WritePackage(path, true, {data});
    OneEntry p{ReadBytes(path), 0};
    p.record = Le32(p.bytes, 16) + 68;
    return p;
}

// Extracts entry 0 of the package both ways; returns the last errors.
std::pair<DWORD, DWORD> ExtractErrors(ScratchDir& dir, const Bytes& package, BOOL console = FALSE)
{
    const std::string path = dir.Path("damaged.pkg");
    WriteBytes(path, package);
    CPackageFile file(console);
    EXPECT_TRUE(file.Open(path.c_str(), FALSE));
    CScopedFile out(CreateForWriting(dir.Path("out")));
    SetLastError(0);
    EXPECT_FALSE(file.ExtractToFile(0, out.get()));
    const DWORD toFile = GetLastError();
    CByteArray data;
    SetLastError(0);
    EXPECT_FALSE(file.ExtractToMemory(0, data));
    const DWORD toMemory = GetLastError();
    file.Close();
    return {toFile, toMemory};
}

const std::pair<DWORD, DWORD> kCorrupt{ERROR_FILE_CORRUPT, ERROR_FILE_CORRUPT};
} // namespace

TEST(PackageRefusal, OpenRefusesBadHeadersAndCatalogs)
{
    ScratchDir dir;
    const Bytes good = CompressedPackage(dir, MixedData(1000)).bytes;
    const std::string path = dir.Path("p.pkg");

    Bytes b = good;
    b[5] ^= 1;
    WriteBytes(path, b);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_CORRUPT), OpenError(path)) << "signature";

    WriteBytes(path, Bytes(good.begin(), good.begin() + 255));
    EXPECT_NE(0u, OpenError(path)) << "shorter than the header";

    for (const DWORD offset : std::initializer_list<DWORD>{DWORD(good.size()), DWORD(good.size() + 100), 0u, 255u, 0x80000000u, 0xFFFFFFFFu})
    {
        b = good;
        StoreLE32(&b[16], offset);
        WriteBytes(path, b);
        EXPECT_NE(0u, OpenError(path)) << "catalog offset " << offset;
    }

    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), OpenError(dir.Path("missing.pkg")));
}

TEST(PackageRefusal, ACatalogCountThatIsNegativeOrCannotFitIsRefusedBeforeAnythingIsReserved)
{
    ScratchDir dir;
    const OneEntry good = CompressedPackage(dir, MixedData(1000));
    const std::string path = dir.Path("p.pkg");
    const size_t catalog = good.record - 68;
    for (const DWORD count : std::initializer_list<DWORD>{0xFFFFFFFFu, 0x80000000u, 2u, 0x7FFFFFFFu, 700000u})
    {
        Bytes b = good.bytes;
        StoreLE32(&b[catalog], count);
        WriteBytes(path, b);
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_CORRUPT), OpenError(path)) << "count " << count;
    }
}

TEST(PackageRefusal, ExtractRefusesIndexesOutOfRangeAndDataOutsideThePackage)
{
    ScratchDir dir;
    const Bytes data = MixedData(1000);
    OneEntry p = CompressedPackage(dir, data);
    {
        WriteBytes(dir.Path("p.pkg"), p.bytes);
        CPackageFile package;
        ASSERT_TRUE(package.Open(dir.Path("p.pkg").c_str(), FALSE));
        CScopedFile out(CreateForWriting(dir.Path("out")));
        CByteArray mem;
        for (const int index : {-1, 1, 1000})
        {
            EXPECT_FALSE(package.ExtractToFile(index, out.get()));
            EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
            EXPECT_FALSE(package.ExtractToMemory(index, mem));
        }
        package.Close();
    }
    // Data offsets inside the header or running into the catalog.
    for (const DWORD offset : std::initializer_list<DWORD>{16u, 0xFFFFFF00u, DWORD(p.record - 68 - 10)})
    {
        Bytes b = p.bytes;
        StoreLE32(&b[p.record + 3080], offset);
        EXPECT_EQ(kCorrupt, ExtractErrors(dir, b)) << "offset " << offset;
    }
    Bytes b = p.bytes;
    StoreLE32(&b[p.record + 3072], 0xFFFFFFF0u);
    EXPECT_EQ(kCorrupt, ExtractErrors(dir, b)) << "stored size past the catalog";
}

TEST(PackageDamagedStream, TruncatedChecksumAndSizeErrorsFailWithFileCorrupt)
{
    ScratchDir dir;
    const Bytes data = MixedData(150000);
    const OneEntry p = CompressedPackage(dir, data);
    const DWORD stored = Le32(p.bytes, p.record + 3072);

    Bytes b = p.bytes;
    StoreLE32(&b[p.record + 3072], stored - 3);
    EXPECT_EQ(kCorrupt, ExtractErrors(dir, b)) << "stream cut short";

    b = p.bytes;
    b[256 + stored - 1] ^= 0x55;
    EXPECT_EQ(kCorrupt, ExtractErrors(dir, b)) << "wrong Adler-32";

    for (const DWORD size : std::initializer_list<DWORD>{DWORD(data.size() - 1), DWORD(data.size() + 1), 0u})
    {
        b = p.bytes;
        StoreLE32(&b[p.record + 3076], size);
        EXPECT_EQ(kCorrupt, ExtractErrors(dir, b)) << "uncompressed size " << size;
    }

    b = p.bytes;
    b[256 + 1000] ^= 0xFF;
    EXPECT_EQ(kCorrupt, ExtractErrors(dir, b)) << "damaged deflate data";
}

TEST(PackageDamagedStream, BytesAfterTheEndOfTheStreamFailTheExtraction)
{
    ScratchDir dir;
    const Bytes data = MixedData(5000);
    CPackageFile package;
    const std::string path = dir.Path("p.pkg");
    ASSERT_TRUE(package.Create(path.c_str(), TRUE));
    ASSERT_TRUE(package.AddFromMemory(FileEntry("a"), data.data(), 5000));
    ASSERT_TRUE(package.AddFromMemory(FileEntry("b"), data.data(), 5000));
    ASSERT_TRUE(package.Commit());
    // Entry 0 claims its own stream and the first byte of the next one.
    Bytes b = ReadBytes(path);
    const size_t r = Le32(b, 16) + 68;
    StoreLE32(&b[r + 3072], Le32(b, r + 3072) + 1);
    EXPECT_EQ(kCorrupt, ExtractErrors(dir, b));
}

TEST(PackageDamagedStream, WithConsoleErrorsZlibsMessageIsPrintedAndTheLastErrorIsLeftAlone)
{
    ScratchDir dir;
    const OneEntry p = CompressedPackage(dir, MixedData(50000));
    Bytes b = p.bytes;
    b[256 + Le32(b, p.record + 3072) - 1] ^= 0x55;
    const std::string path = dir.Path("damaged.pkg");
    WriteBytes(path, b);
    CPackageFile package(TRUE);
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    CByteArray data;
    SetLastError(12345);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(package.ExtractToMemory(0, data));
    EXPECT_EQ("ZLib error: incorrect data check\n", ::testing::internal::GetCapturedStdout());
    // The library does not set the reason; successful system calls on the
    // way may still reset the code (Wine's do), so only POSIX keeps 12345.
    EXPECT_NE(static_cast<DWORD>(ERROR_FILE_CORRUPT), GetLastError());
#ifndef _WIN32
    EXPECT_EQ(12345u, GetLastError());
#endif

    // A stream cut short has no message from zlib: its code is printed.
    StoreLE32(&b[p.record + 3072], Le32(b, p.record + 3072) - 4);
    package.Close();
    WriteBytes(path, b);
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(package.ExtractToMemory(0, data));
    EXPECT_EQ("ZLib error: code -5\n", ::testing::internal::GetCapturedStdout());
    package.Close();
}

TEST(PackageDamagedStream, AwkwardStreamsFromOtherWritersAreRead)
{
    // Streams that change block types every few bytes, expand one piece to
    // many, or hold only stored blocks all cross the piece boundaries
    // differently from the library's own.
    ScratchDir dir;
    const Bytes noisy = MixedData(300000, 7);
    const Bytes flat(1 << 20, 'z');
    struct Case
    {
        const char* name;
        const Bytes* data;
        int level;
        int flushEvery;
    } cases[] = {{"sync flush every 7 bytes", &noisy, 6, 7},
                 {"stored blocks only", &noisy, 0, 0},
                 {"one megabyte of one byte", &flat, 9, 0},
                 {"full flush every 65536 bytes", &noisy, 1, 65536}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        z_stream z{};
        ASSERT_EQ(Z_OK, deflateInit(&z, c.level));
        Bytes stream(deflateBound(&z, static_cast<uLong>(c.data->size())) + c.data->size() + 1024);
        z.next_out = stream.data();
        z.avail_out = static_cast<uInt>(stream.size());
        size_t fed = 0;
        while (fed < c.data->size())
        {
            const size_t n = c.flushEvery ? std::min<size_t>(c.flushEvery, c.data->size() - fed) : c.data->size();
            z.next_in = const_cast<Bytef*>(c.data->data() + fed);
            z.avail_in = static_cast<uInt>(n);
            fed += n;
            ASSERT_NE(Z_STREAM_ERROR, deflate(&z, c.flushEvery ? (c.flushEvery > 1000 ? Z_FULL_FLUSH : Z_SYNC_FLUSH)
                                                            : Z_NO_FLUSH));
        }
        ASSERT_EQ(Z_STREAM_END, deflate(&z, Z_FINISH));
        stream.resize(z.total_out);
        deflateEnd(&z);

        // Replace the entry's stream with this one.
        OneEntry p = CompressedPackage(dir, Bytes(10, 'x'));
        Bytes b(p.bytes.begin(), p.bytes.begin() + 256);
        b.insert(b.end(), stream.begin(), stream.end());
        const size_t catalog = b.size();
        b.insert(b.end(), p.bytes.begin() + p.record - 68, p.bytes.end());
        StoreLE32(&b[16], static_cast<DWORD>(catalog));
        StoreLE32(&b[catalog + 68 + 3072], static_cast<DWORD>(stream.size()));
        StoreLE32(&b[catalog + 68 + 3076], static_cast<DWORD>(c.data->size()));
        const std::string path = dir.Path("awkward.pkg");
        WriteBytes(path, b);

        CPackageFile package;
        ASSERT_TRUE(package.Open(path.c_str(), FALSE));
        CByteArray out;
        ASSERT_TRUE(package.ExtractToMemory(0, out)) << GetLastError();
        EXPECT_TRUE(out.GetSize() == c.data->size() && std::equal(c.data->begin(), c.data->end(), out.GetData()));
        package.Close();
    }
}

TEST(PackageCut, APackageCutAtAnyLengthFailsCleanly)
{
    ScratchDir dir;
    const std::string path = dir.Path("full.pkg");
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(path.c_str(), TRUE));
        const Bytes a = MixedData(70000, 1), b = MixedData(300, 2);
        ASSERT_TRUE(package.AddFromMemory(FileEntry("a"), a.data(), 70000));
        ASSERT_TRUE(package.AddFromMemory(FileEntry("b"), b.data(), 300));
        ASSERT_TRUE(package.Commit());
    }
    const Bytes full = ReadBytes(path);
    const std::string cutPath = dir.Path("cut.pkg");
    for (size_t length = 0; length < full.size(); length += (length < 400 || length > full.size() - 7000) ? 1 : 97)
    {
        WriteBytes(cutPath, Bytes(full.begin(), full.begin() + length));
        CPackageFile package;
        ASSERT_FALSE(package.Open(cutPath.c_str(), FALSE)) << "length " << length;
        ASSERT_NE(0u, GetLastError());
    }
    // With the catalog whole but the data cut, the entries fail to extract.
    const size_t catalog = Le32(full, 16);
    for (size_t cut = 256; cut < catalog; cut += 1031)
    {
        Bytes b(full.begin(), full.begin() + cut);
        b.insert(b.end(), full.begin() + catalog, full.end());
        StoreLE32(&b[16], static_cast<DWORD>(cut));
        WriteBytes(cutPath, b);
        CPackageFile package;
        ASSERT_TRUE(package.Open(cutPath.c_str(), FALSE));
        CByteArray out;
        EXPECT_FALSE(package.ExtractToMemory(1, out)) << "cut " << cut;
        package.Close();
    }
}

TEST(PackageSizeLimit, AnAddThatWouldReach2GiBFailsAndChangesNothing)
{
    // A sparse package whose catalog lies just below 2 GiB.
    ScratchDir dir;
    const std::string path = dir.Path("big.pkg");
    // Room for one entry of about 900 bytes and one more record after it.
    const DWORD catalogOffset = 0x7FFFFFFF - 68 - 2 * 3084 - 1100;
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(path.c_str(), FALSE));
        package.Close();
        Bytes header = ReadBytes(path);
        StoreLE32(&header[16], catalogOffset);
        CScopedFile file(CreateForWriting(path));
        DWORD done = 0;
        ASSERT_TRUE(WriteFile(file.get(), header.data(), 256, &done, nullptr));
        ASSERT_EQ(catalogOffset, SetFilePointer(file.get(), static_cast<LONG>(catalogOffset), nullptr, FILE_BEGIN));
        const Bytes catalog(68, 0);
        ASSERT_TRUE(WriteFile(file.get(), catalog.data(), 68, &done, nullptr));
    }
    Bytes noise(3000);
    uint32_t state = 12345;
    for (BYTE& b : noise)
        b = static_cast<BYTE>((state = state * 1103515245u + 12345u) >> 23);
    for (const bool compressedFlag : {false, true})
    {
        SCOPED_TRACE(compressedFlag ? "compressed" : "stored");
        if (compressedFlag)
        {
            CScopedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            BYTE one[4] = {1, 0, 0, 0};
            DWORD done = 0;
            SetFilePointer(file.get(), 24, nullptr, FILE_BEGIN);
            ASSERT_TRUE(WriteFile(file.get(), one, 4, &done, nullptr));
        }
        CPackageFile package;
        ASSERT_TRUE(package.Open(path.c_str(), TRUE));
        ASSERT_TRUE(package.AddFromMemory(FileEntry("fits"), noise.data(), 900));
        EXPECT_FALSE(package.AddFromMemory(FileEntry("too much"), noise.data(), 3000));
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), GetLastError());
        ASSERT_TRUE(package.AddFromMemory(FileEntry("no data"), nullptr, 0));
        EXPECT_FALSE(package.AddFromMemory(FileEntry("no room for its record"), nullptr, 0));
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), GetLastError());
        EXPECT_EQ(2, package.GetCatalog().GetCount());
        ASSERT_TRUE(package.Commit());
        EXPECT_LE(std::filesystem::file_size(path), 0x7FFFFFFFu);

        CPackageFile reader;
        ASSERT_TRUE(reader.Open(path.c_str(), FALSE));
        ASSERT_EQ(2, reader.GetCatalog().GetCount());
        CByteArray out;
        ASSERT_TRUE(reader.ExtractToMemory(0, out));
        EXPECT_EQ(Bytes(noise.begin(), noise.begin() + 900), Bytes(out.GetData(), out.GetData() + out.GetSize()));
        reader.Close();
        // Start over for the next round: drop the added entry again.
        CScopedFile file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
        BYTE offset[4];
        StoreLE32(offset, catalogOffset);
        DWORD done = 0;
        SetFilePointer(file.get(), 16, nullptr, FILE_BEGIN);
        ASSERT_TRUE(WriteFile(file.get(), offset, 4, &done, nullptr));
        const Bytes catalog(68, 0);
        SetFilePointer(file.get(), static_cast<LONG>(catalogOffset), nullptr, FILE_BEGIN);
        ASSERT_TRUE(WriteFile(file.get(), catalog.data(), 68, &done, nullptr));
        ASSERT_TRUE(SetEndOfFile(file.get()));
    }
}

TEST(PackageContents, AFilesContentsMustBeExactlyItsRecordedSize)
{
    ScratchDir dir;
    // Each package holds one entry of 1000 bytes whose record is then
    // changed: its uncompressed size, its stored size (0 keeps it), and with
    // noData its data offset made 0.
    const struct
    {
        bool compressed;
        DWORD recorded;
        DWORD stored;
        bool noData;
        bool intact;
    } cases[] = {
        {true, 1000, 0, false, true},
        {false, 1000, 0, false, true},
        {true, 0, 0, false, false},   // a stream that holds more than its record says
        {false, 0, 0, false, false},  // stored bytes beyond a record of 0
        {false, 10, 0, false, false}, // ... or of 10
        {false, 2000, 0, false, false},
        {false, 1000, 999, false, false},
        {true, 0, 0, true, true},     // no data and nothing recorded: an empty file
        {false, 0, 0, true, true},
        {true, 5, 0, true, false},    // no data but contents recorded
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << (c.compressed ? "compressed" : "stored") << " recorded " << c.recorded
                                        << " stored " << c.stored << (c.noData ? " no data" : ""));
        const std::string path = dir.Path("p.pkg");
        DeleteFileA(path.c_str());
        WritePackage(path, c.compressed, {MixedData(1000)});
        Bytes b = ReadBytes(path);
        const size_t record = Le32(b, 16) + 68;
        StoreLE32(&b[record + 3076], c.recorded);
        if (c.stored)
            StoreLE32(&b[record + 3072], c.stored);
        if (c.noData)
            StoreLE32(&b[record + 3080], 0);
        WriteBytes(path, b);

        CPackageFile package;
        ASSERT_TRUE(package.Open(path.c_str(), FALSE));
        CScopedFile out(CreateForWriting(dir.Path("out")));
        SetLastError(0);
        EXPECT_EQ(package.ExtractContentsToFile(0, out.get()) != FALSE, c.intact);
        if (!c.intact)
        {
            EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_CORRUPT), GetLastError());
        }
        out.reset();
        if (c.intact)
        {
            EXPECT_EQ(ReadBytes(dir.Path("out")).size(), c.noData ? 0u : 1000u);
        }
        package.Close();
        DeleteFileA(dir.Path("out").c_str());
    }
}

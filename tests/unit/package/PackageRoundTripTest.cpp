// Data goes in and comes out unchanged, stored and compressed, across the
// 64 KiB piece boundaries, through files and memory.
#include "TestSupport.h"

using namespace lumtest;

namespace
{
const DWORD kSizes[] = {1, 65535, 65536, 65537, 3 * 65536, 5 * 65536 + 17};

Bytes ExtractedFile(CPackageFile& package, int index, const std::string& path)
{
    CScopedFile out(CreateForWriting(path));
    EXPECT_TRUE(out.valid());
    EXPECT_TRUE(package.ExtractToFile(index, out.get())) << "last error " << GetLastError();
    out.reset();
    return ReadBytes(path);
}

Bytes ExtractedMemory(CPackageFile& package, int index)
{
    CByteArray data;
    EXPECT_TRUE(package.ExtractToMemory(index, data)) << "last error " << GetLastError();
    return Bytes(data.GetData(), data.GetData() + data.GetSize());
}
} // namespace

class PackageRoundTrip : public ::testing::TestWithParam<bool>
{
};

TEST_P(PackageRoundTrip, EntriesAddedFromFilesAndMemoryComeBackUnchanged)
{
    const bool compressed = GetParam();
    ScratchDir dir;
    const std::string path = dir.Path("p.pkg");
    std::vector<Bytes> contents;
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(path.c_str(), compressed));
        for (const DWORD size : kSizes)
        {
            contents.push_back(MixedData(size, size));
            const std::string source = dir.Path("source");
            WriteBytes(source, contents.back());
            CScopedFile in(OpenForReading(source));
            ASSERT_TRUE(package.AddFromFile(FileEntry("file" + std::to_string(size)), in.get(), size));
            contents.push_back(MixedData(size, size + 1));
            ASSERT_TRUE(package.AddFromMemory(FileEntry("mem" + std::to_string(size)), contents.back().data(), size));
        }
        ASSERT_TRUE(package.Commit());
    }

    CPackageFile package;
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    EXPECT_EQ(compressed, package.IsCompressed() != FALSE);
    const CPackageCatalog catalog = package.GetCatalog();
    ASSERT_EQ(static_cast<int>(contents.size()), catalog.GetCount());
    DWORD expectedOffset = 256;
    for (int i = 0; i < catalog.GetCount(); ++i)
    {
        SCOPED_TRACE("entry " + std::to_string(i));
        const CPackageCatalogEntry entry = catalog.GetAt(i);
        EXPECT_EQ(contents[i].size(), entry.GetUncompressedSize());
        EXPECT_EQ(expectedOffset, entry.GetDataOffset());
        if (!compressed)
        {
            EXPECT_EQ(entry.GetUncompressedSize(), entry.GetStoredSize());
        }
        expectedOffset += entry.GetStoredSize();
        EXPECT_EQ(contents[i], ExtractedFile(package, i, dir.Path("out")));
        EXPECT_EQ(contents[i], ExtractedMemory(package, i));
    }
    package.Close();
}

TEST_P(PackageRoundTrip, ExtractToFileWritesAtTheDestinationsPosition)
{
    ScratchDir dir;
    const std::string path = dir.Path("p.pkg");
    const Bytes data = MixedData(70000, 9);
    WritePackage(path, GetParam(), {data});
    CPackageFile package;
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    CScopedFile out(CreateForWriting(dir.Path("out")));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(out.get(), "head", 4, &written, nullptr));
    ASSERT_TRUE(package.ExtractToFile(0, out.get()));
    out.reset();
    Bytes expected = {'h', 'e', 'a', 'd'};
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(expected, ReadBytes(dir.Path("out")));
    package.Close();
}

// A sink that lends buffers of changing sizes and keeps what comes back; a
// buffer lent twice without being taken back must be the same one.
class CVaryingSink : public CPackageSink
{
public:
    BYTE* LendBuffer(DWORD& nSize) override
    {
        if (!lent)
        {
            static const DWORD sizes[] = {1, 7, 65536, 1 << 20, 300};
            buffer.assign(sizes[lends++ % 5], 0);
            lent = true;
        }
        nSize = static_cast<DWORD>(buffer.size());
        return buffer.data();
    }
    BOOL TakeBack(DWORD nCount) override
    {
        EXPECT_TRUE(lent);
        EXPECT_GT(nCount, 0u);
        EXPECT_LE(nCount, buffer.size());
        received.insert(received.end(), buffer.begin(), buffer.begin() + nCount);
        lent = false;
        return TRUE;
    }
    Bytes buffer, received;
    bool lent = false;
    unsigned lends = 0;
};

TEST_P(PackageRoundTrip, ExtractToSinkFillsWhateverBuffersTheSinkLends)
{
    ScratchDir dir;
    const std::string path = dir.Path("p.pkg");
    const Bytes data = MixedData(3 * 1048576 + 5, 4);
    WritePackage(path, GetParam(), {data});
    CPackageFile package;
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    CVaryingSink sink;
    ASSERT_TRUE(package.ExtractToSink(0, sink)) << "last error " << GetLastError();
    EXPECT_EQ(data, sink.received);
    EXPECT_GT(sink.lends, 5u);
    package.Close();
}

TEST_P(PackageRoundTrip, ProgressCountsEveryByteOfInput)
{
    ScratchDir dir;
    const std::string path = dir.Path("p.pkg");
    const Bytes data = MixedData(200000, 2);
    ULONGLONG seen = 0;
    auto count = [](DWORD n, void* context) { *static_cast<ULONGLONG*>(context) += n; };
    CPackageFile writer;
    writer.SetProgressProc(count, &seen);
    ASSERT_TRUE(writer.Create(path.c_str(), GetParam()));
    ASSERT_TRUE(writer.AddFromMemory(FileEntry("a"), data.data(), 200000));
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(200000u, seen);

    CPackageFile reader;
    ASSERT_TRUE(reader.Open(path.c_str(), FALSE));
    seen = 0;
    reader.SetProgressProc(count, &seen);
    EXPECT_EQ(data, ExtractedMemory(reader, 0));
    EXPECT_EQ(reader.GetCatalog().GetAt(0).GetStoredSize(), seen);
    reader.Close();
}

INSTANTIATE_TEST_SUITE_P(StoredAndCompressed, PackageRoundTrip, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Compressed" : "Stored";
                         });

TEST(PackageZeroLength, AnEmptyBlockFromMemoryIsAnEightByteStreamInACompressedPackage)
{
    ScratchDir dir;
    const std::string path = dir.Path("p.pkg");
    const BYTE nothing = 0;
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(path.c_str(), TRUE));
        ASSERT_TRUE(package.AddFromMemory(FileEntry("empty"), &nothing, 0));
        ASSERT_TRUE(package.Commit());
    }
    CPackageFile package;
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    const CPackageCatalogEntry entry = package.GetCatalog().GetAt(0);
    EXPECT_EQ(8u, entry.GetStoredSize());
    EXPECT_EQ(0u, entry.GetUncompressedSize());
    EXPECT_TRUE(ExtractedMemory(package, 0).empty());
    EXPECT_TRUE(ExtractedFile(package, 0, dir.Path("out")).empty());
    package.Close();
}

TEST(PackageZeroLength, AnEmptyFileCannotBeAddedToACompressedPackageNorExtractedFromAStoredOne)
{
    ScratchDir dir;
    WriteBytes(dir.Path("empty"), {});
    CScopedFile in(OpenForReading(dir.Path("empty")));
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(dir.Path("c.pkg").c_str(), TRUE));
        EXPECT_FALSE(package.AddFromFile(FileEntry("empty"), in.get(), 0));
        EXPECT_EQ(0, package.GetCatalog().GetCount());
        package.Discard();
    }
    CPackageFile package;
    ASSERT_TRUE(package.Create(dir.Path("s.pkg").c_str(), FALSE));
    ASSERT_TRUE(package.AddFromFile(FileEntry("empty"), in.get(), 0));
    const CPackageCatalogEntry entry = package.GetCatalog().GetAt(0);
    EXPECT_EQ(0u, entry.GetStoredSize());
    EXPECT_EQ(256u, entry.GetDataOffset());
    CByteArray data;
    EXPECT_FALSE(package.ExtractToMemory(0, data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), GetLastError());
    package.Discard();
}

TEST(PackageLifecycle, CreateRefusesAnExistingFileAndLeavesItUnchanged)
{
    ScratchDir dir;
    const std::string path = dir.Path("there");
    WriteBytes(path, {1, 2, 3});
    CPackageFile package;
    EXPECT_FALSE(package.Create(path.c_str(), TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
    EXPECT_EQ((Bytes{1, 2, 3}), ReadBytes(path));
}

TEST(PackageLifecycle, DiscardDeletesThePackageAndCloseWithoutCommitLeavesNoValidPackage)
{
    ScratchDir dir;
    const std::string path = dir.Path("p.pkg");
    const Bytes data = MixedData(1000);
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(path.c_str(), TRUE));
        ASSERT_TRUE(package.AddFromMemory(FileEntry("a"), data.data(), 1000));
        package.Discard();
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(path.c_str(), TRUE));
        ASSERT_TRUE(package.AddFromMemory(FileEntry("a"), data.data(), 1000));
        package.Close();
    }
    CPackageFile package;
    EXPECT_FALSE(package.Open(path.c_str(), FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_CORRUPT), GetLastError());
}

TEST(PackageLifecycle, ACopiedCatalogOutlivesItsPackageAndCloseKeepsTheLabel)
{
    ScratchDir dir;
    const std::string path = dir.Path("p.pkg");
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(path.c_str(), FALSE));
        package.SetLabel("kept");
        ASSERT_TRUE(package.AddFromMemory(FileEntry("a"), "x", 1));
        ASSERT_TRUE(package.Commit());
    }
    CPackageCatalog copy;
    {
        CPackageFile package;
        ASSERT_TRUE(package.Open(path.c_str(), FALSE));
        copy = package.GetCatalog();
        package.Close();
        EXPECT_EQ(0, package.GetCatalog().GetCount());
        EXPECT_STREQ("kept", package.GetCatalog().GetLabel());
    }
    ASSERT_EQ(1, copy.GetCount());
    EXPECT_EQ(W("a"), copy.GetAt(0).GetName());
}

TEST(PackageLifecycle, AnEntryWithoutDataIsListedButCannotBeExtracted)
{
    ScratchDir dir;
    const std::string path = dir.Path("p.pkg");
    {
        CPackageFile package;
        ASSERT_TRUE(package.Create(path.c_str(), TRUE));
        CPackageCatalogEntry folder;
        folder.SetDirectory(W("sub").c_str());
        ASSERT_TRUE(package.AddFromMemory(folder, nullptr, 0));
        ASSERT_TRUE(package.AddFromMemory(FileEntry("promised"), nullptr, 5));
        ASSERT_TRUE(package.Commit());
    }
    EXPECT_EQ(256u + 68 + 2 * 3084, ReadBytes(path).size());
    CPackageFile package;
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    CByteArray data;
    CScopedFile out(CreateForWriting(dir.Path("out")));
    for (int i = 0; i < 2; ++i)
    {
        SetLastError(0);
        EXPECT_FALSE(package.ExtractToMemory(i, data));
        EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), GetLastError());
        EXPECT_FALSE(package.ExtractToFile(i, out.get()));
    }
    package.Close();
}

TEST(PackageLifecycle, AnotherBuildAndACompressedFlagOf2AreAccepted)
{
    ScratchDir dir;
    const std::string path = dir.Path("p.pkg");
    const Bytes data = MixedData(5000);
    WritePackage(path, true, {data});
    Bytes bytes = ReadBytes(path);
    StoreLE32(&bytes[20], 2094);
    StoreLE32(&bytes[24], 2);
    WriteBytes(path, bytes);
    CPackageFile package;
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    EXPECT_EQ(2094, package.GetBuild());
    EXPECT_TRUE(package.IsCompressed());
    EXPECT_EQ(data, ExtractedMemory(package, 0));
    package.Close();
}

TEST(PackageLifecycle, AWritablePackageIsHeldExclusively)
{
    ScratchDir dir;
    const std::string path = dir.Path("p.pkg");
    WritePackage(path, true, {MixedData(10)});
    CPackageFile writer, reader, second;
    ASSERT_TRUE(reader.Open(path.c_str(), FALSE));
    ASSERT_TRUE(second.Open(path.c_str(), FALSE)) << "readers share";
    EXPECT_FALSE(writer.Open(path.c_str(), TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    reader.Close();
    second.Close();
    ASSERT_TRUE(writer.Open(path.c_str(), TRUE));
    EXPECT_FALSE(reader.Open(path.c_str(), FALSE));
    writer.Close();
}

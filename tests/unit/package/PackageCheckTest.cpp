// SHA-256 against the standard's examples, the processor's way against the
// portable one, and the check a package carries over its own bytes: every
// byte changed is found, an older package carries none, a package appended
// to is checked anew.
#include <cstring>
#include <string>

#include "TestSupport.h"
#include "package/PackageCheck.h"

using namespace lumtest;

namespace
{
// The digest of data given in pieces of the sizes listed, over and over.
std::string DigestInPieces(CSha256& hash, const Bytes& data, const std::vector<size_t>& pieces)
{
    size_t done = 0;
    for (size_t i = 0; done < data.size(); ++i)
    {
        const size_t n = std::min(pieces[i % pieces.size()], data.size() - done);
        hash.Update(data.data() + done, n);
        done += n;
    }
    BYTE digest[SHA256_DIGEST_SIZE];
    hash.Final(digest);
    return Sha256Hex(digest);
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

PackageCheckState StateOf(const std::string& path)
{
    CScopedFile file(OpenForReading(path));
    PackageCheckState state = PackageCheckState::Damaged;
    EXPECT_TRUE(file.valid());
    EXPECT_TRUE(CheckPackageFile(file.get(), state));
    return state;
}

const char* NameOf(PackageCheckState state)
{
    switch (state)
    {
    case PackageCheckState::None:
        return "none";
    case PackageCheckState::Intact:
        return "intact";
    case PackageCheckState::Damaged:
        break;
    }
    return "damaged";
}
} // namespace

TEST(Sha256, GivesTheStandardsExampleDigestsBothWays)
{
    struct Example
    {
        Bytes data;
        const char* digest;
    };
    const Example examples[] = {
        {Text(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {Text("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {Text("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {Bytes(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Example& example : examples)
    {
        CSha256 best;
        CSha256 portable;
        portable.UsePortableCode();
        EXPECT_EQ(example.digest, DigestInPieces(best, example.data, {1 << 20}));
        EXPECT_EQ(example.digest, DigestInPieces(portable, example.data, {1 << 20}));
        // Trickled in odd pieces that cut blocks everywhere.
        EXPECT_EQ(example.digest, DigestInPieces(best, example.data, {1, 63, 64, 65, 7, 128}));
    }
}

TEST(Sha256, TheProcessorsInstructionsGiveThePortableDigestAtEveryLength)
{
    if (!CSha256::UsesProcessorInstructions())
        GTEST_SKIP() << "this processor (or system) has no SHA instructions to compare";
    const Bytes data = MixedData(4096 + 200, 7);
    for (size_t length = 0; length < 300; ++length)
    {
        const Bytes part(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length + 3900));
        CSha256 best;
        CSha256 portable;
        portable.UsePortableCode();
        ASSERT_EQ(DigestInPieces(portable, part, {part.size()}), DigestInPieces(best, part, {part.size()}))
            << "at " << part.size() << " bytes";
    }
}

TEST(PackageCheck, EveryByteChangedInAStoredOrACompressedPackageIsFound)
{
    ScratchDir dir;
    for (const bool compressed : {false, true})
    {
        const std::string path = dir.Path(compressed ? "compressed.pkg" : "stored.pkg");
        WritePackage(path, compressed, {Text("readme"), MixedData(300, 3)});
        ASSERT_EQ(PackageCheckState::Intact, StateOf(path));
        const Bytes original = ReadBytes(path);
        // Every byte of the header's fields and the check itself, of the
        // data and of the catalog's head, and of each record the name's
        // start, the kind, the kind data's times and version, the sizes and
        // the offset; the zeros between them every 61st byte.
        std::vector<size_t> offsets;
        const size_t catalog = Le32(original, 16);
        for (size_t offset = 0; offset < original.size(); ++offset)
        {
            const size_t inRecord = (offset - catalog - CATALOG_HEAD_SIZE) % PACKAGE_RECORD_SIZE;
            const bool field = offset < HEADER_CHECK + PACKAGE_CHECK_SIZE ||
                               (offset >= PACKAGE_HEADER_SIZE && offset < catalog + CATALOG_HEAD_SIZE) || inRecord < 32 ||
                               (inRecord >= RECORD_KIND && inRecord < RECORD_KIND_DATA + 24) ||
                               inRecord >= RECORD_RESERVED;
            if (field || offset % 61 == 0)
                offsets.push_back(offset);
        }
        for (const size_t offset : offsets)
        {
            Bytes changed = original;
            changed[offset] ^= 0x01;
            WriteBytes(path, changed);
            ASSERT_EQ(PackageCheckState::Damaged, StateOf(path))
                << (compressed ? "compressed" : "stored") << ", byte " << offset;
        }
        // One byte more, or one less, at the end.
        Bytes longer = original;
        longer.push_back(0);
        WriteBytes(path, longer);
        EXPECT_EQ(PackageCheckState::Damaged, StateOf(path));
        WriteBytes(path, Bytes(original.begin(), original.end() - 1));
        EXPECT_EQ(PackageCheckState::Damaged, StateOf(path));
    }
}

TEST(PackageCheck, APackageOfAnOlderPackerCarriesNoneAndStillReads)
{
    ScratchDir dir;
    const std::string path = dir.Path("older.pkg");
    WritePackage(path, true, {Text("older")});
    Bytes bytes = ReadBytes(path);
    std::memset(&bytes[HEADER_CHECK], 0, PACKAGE_CHECK_SIZE);
    WriteBytes(path, bytes);
    EXPECT_EQ(PackageCheckState::None, StateOf(path));

    CPackageFile package;
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    EXPECT_EQ(0u, package.GetCheckKind());
    CByteArray data;
    ASSERT_TRUE(package.ExtractToMemory(0, data));
    EXPECT_EQ(Text("older"), Bytes(data.GetData(), data.GetData() + data.GetSize()));
    package.Close();

    // Only all zeros mean "none": a digest without its kind, or a kind this
    // library does not know, is damage.
    for (const auto& [offset, value] : {std::pair<DWORD, BYTE>{HEADER_CHECK_DIGEST + 5, 1}, {HEADER_CHECK_KIND, 2}})
    {
        Bytes changed = bytes;
        changed[offset] = value;
        WriteBytes(path, changed);
        EXPECT_EQ(PackageCheckState::Damaged, StateOf(path)) << "offset " << offset;
    }
}

TEST(PackageCheck, APackageAppendedToIsCheckedAnewAndJudgedByItsFileAlone)
{
    ScratchDir dir;
    const std::string path = dir.Path("append.pkg");
    WritePackage(path, false, {Text("first")});
    {
        CPackageFile package;
        ASSERT_TRUE(package.Open(path.c_str(), TRUE));
        const BYTE second[] = {'s', 'e', 'c', 'o', 'n', 'd'};
        ASSERT_TRUE(package.AddFromMemory(FileEntry("second"), second, sizeof second));
        ASSERT_TRUE(package.Commit());
    }
    EXPECT_EQ(PackageCheckState::Intact, StateOf(path));

    CPackageFile package;
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    EXPECT_EQ(PACKAGE_CHECK_SHA256, package.GetCheckKind());
    PackageCheckState state = PackageCheckState::None;
    ASSERT_TRUE(package.CheckOwnBytes(state));
    EXPECT_STREQ("intact", NameOf(state));
    // Reading the whole file for the check leaves the entries readable.
    CByteArray data;
    ASSERT_TRUE(package.ExtractToMemory(1, data));
    EXPECT_EQ(6u, data.GetSize());
}

TEST(PackageCheck, AFileTooShortForAHeaderCannotBeJudged)
{
    ScratchDir dir;
    const std::string path = dir.Path("short.pkg");
    WriteBytes(path, Bytes(100, 0));
    CScopedFile file(OpenForReading(path));
    PackageCheckState state = PackageCheckState::None;
    EXPECT_FALSE(CheckPackageFile(file.get(), state));
    EXPECT_EQ(DWORD(ERROR_FILE_CORRUPT), GetLastError());
}

// The version reader on PE images built here byte by byte: both header
// forms, images without a version, and images cut short.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "PeVersion.h"
#include "package/PackageFormat.h"

namespace
{
using Bytes = std::vector<BYTE>;

void Put16(Bytes& b, size_t at, WORD v)
{
    StoreLE16(&b[at], v);
}
void Put32(Bytes& b, size_t at, DWORD v)
{
    StoreLE32(&b[at], v);
}

// A one-section image with a resource table holding RT_VERSION / 1 / 0x409.
Bytes MakeImage(bool pe32Plus, DWORD resourceType = 16, bool withResourceTable = true)
{
    Bytes b(0x600, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, 0x80);
    std::memcpy(&b[0x80], "PE\0\0", 4);
    Put16(b, 0x84, pe32Plus ? 0x8664 : 0x14C);
    Put16(b, 0x86, 1);
    const WORD optionalSize = pe32Plus ? 240 : 224;
    Put16(b, 0x94, optionalSize);
    const size_t optional = 0x98;
    Put16(b, optional, pe32Plus ? 0x20B : 0x10B);
    const size_t directories = optional + (pe32Plus ? 112 : 96);
    Put32(b, directories - 4, 16);
    if (withResourceTable)
    {
        Put32(b, directories + 16, 0x1000);
        Put32(b, directories + 20, 0x200);
    }
    const size_t section = optional + optionalSize;
    std::memcpy(&b[section], ".rsrc", 5);
    Put32(b, section + 8, 0x200);
    Put32(b, section + 12, 0x1000);
    Put32(b, section + 16, 0x200);
    Put32(b, section + 20, 0x400);

    const size_t r = 0x400;
    Put16(b, r + 14, 1); // type level: one ID entry
    Put32(b, r + 16, resourceType);
    Put32(b, r + 20, 0x80000000u | 0x18);
    Put16(b, r + 0x18 + 14, 1); // name level
    Put32(b, r + 0x18 + 16, 1);
    Put32(b, r + 0x18 + 20, 0x80000000u | 0x30);
    Put16(b, r + 0x30 + 14, 1); // language level
    Put32(b, r + 0x30 + 16, 0x409);
    Put32(b, r + 0x30 + 20, 0x48);
    Put32(b, r + 0x48, 0x1000 + 0x58); // data entry: RVA, size
    Put32(b, r + 0x48 + 4, 92);

    const size_t v = r + 0x58; // VS_VERSIONINFO
    Put16(b, v, 92);
    Put16(b, v + 2, 52);
    const char key[] = "VS_VERSION_INFO";
    for (size_t i = 0; i < sizeof key; ++i)
        Put16(b, v + 6 + 2 * i, static_cast<BYTE>(key[i]));
    Put32(b, v + 40, 0xFEEF04BD);
    Put32(b, v + 44, 0x00010000);
    Put32(b, v + 48, 0x00050006); // file version MS: 5.6
    Put32(b, v + 52, 0x00070008); // file version LS: 7.8
    return b;
}

bool Read(const Bytes& image, ULONGLONG& version)
{
    CMemoryByteSource source(image.data(), image.size());
    return ReadPeFileVersion(source, version);
}
} // namespace

TEST(PeVersion, ReadsTheFixedFileVersionOfPe32AndPe32PlusImages)
{
    for (const bool plus : {false, true})
    {
        ULONGLONG version = 0;
        ASSERT_TRUE(Read(MakeImage(plus), version)) << (plus ? "PE32+" : "PE32");
        EXPECT_EQ(0x0005000600070008ULL, version);
    }
}

TEST(PeVersion, ImagesWithoutAVersionGiveZero)
{
    ULONGLONG version = 1;
    EXPECT_FALSE(Read(MakeImage(true, 3), version)) << "only an icon resource";
    EXPECT_EQ(0u, version);
    EXPECT_FALSE(Read(MakeImage(true, 16, false), version)) << "no resource table";
    EXPECT_FALSE(Read(Bytes{'M', 'Z'}, version));
    EXPECT_FALSE(Read(Bytes(4096, 'x'), version)) << "not an image";

    Bytes badSignature = MakeImage(false);
    Put32(badSignature, 0x400 + 0x58 + 40, 0xFEEF04BE);
    EXPECT_FALSE(Read(badSignature, version));
    Bytes badKey = MakeImage(false);
    badKey[0x400 + 0x58 + 6] = 'W';
    EXPECT_FALSE(Read(badKey, version));
}

TEST(PeVersion, AnImageCutShortIsRefusedAtEveryLength)
{
    const Bytes image = MakeImage(true);
    const size_t needed = 0x400 + 0x58 + 92;
    for (size_t length = 0; length < needed; ++length)
    {
        ULONGLONG version = 0;
        ASSERT_FALSE(Read(Bytes(image.begin(), image.begin() + length), version)) << "length " << length;
    }
}

TEST(PeVersion, HostileOffsetsAndCountsAreRefused)
{
    const struct
    {
        size_t at;
        DWORD value;
    } damage[] = {
        {0x3C, 0xFFFFFFF0u},              // e_lfanew beyond the file
        {0x86, 0xFFFF},                   // section count
        {0x98 + 112 + 16, 0xFFFFFF00u},   // resource RVA outside every section
        {0x400 + 14, 0xFFFF},             // entry count running off the section (no version among them)
        {0x400 + 20, 0x80000000u | 0x400}, // sub-directory outside the table
        {0x400 + 0x48, 0x0FFFFFFFu},      // version data RVA
        {0x400 + 0x48 + 4, 10},           // version data too small
    };
    for (const auto& d : damage)
    {
        Bytes image = MakeImage(true);
        if (d.at == 0x400 + 14)
            Put32(image, 0x400 + 16, 3);
        if (d.at == 0x86 || d.at == 0x400 + 14)
            Put16(image, d.at, static_cast<WORD>(d.value));
        else
            Put32(image, d.at, d.value);
        ULONGLONG version = 0;
        EXPECT_FALSE(Read(image, version)) << "damage at " << d.at;
    }
}

// The installation's records and the font-mapping keys, written to and
// removed from the real registry of the test prefix. Each test starts and
// ends without "Software\Corvane".
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/SetupContext.h"
#include "registry/FontMappingWriter.h"
#include "registry/FontMappingTables.h"
#include "registry/ProductRecords.h"
#include "framework/RegistryKey.h"
#include "registry/UninstallEntry.h"

namespace
{
struct Value
{
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const Value& other) const { return type == other.type && data == other.data; }
};
using Values = std::map<std::string, Value>;

bool KeyExists(const std::string& path)
{
    return CRegistryKey().Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ);
}

Values ReadValues(const std::string& path)
{
    Values values;
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ);
    for (DWORD i = 0;; ++i)
    {
        char name[512];
        BYTE data[1024];
        DWORD nameLength = sizeof name, size = sizeof data, type = REG_NONE;
        if (::RegEnumValueA(key.GetKey(), i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        values[name] = {type, std::vector<BYTE>(data, data + size)};
    }
    return values;
}

Value Dword(DWORD v)
{
    return {REG_DWORD, {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}};
}

std::string FontKey(const char* face)
{
    return std::string(FONT_MAPPING_KEY) + face;
}

const std::vector<BYTE> USB_SIGNATURE = {0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0};

unsigned long long Now()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

class ProductRecordsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, PRODUCT_VENDOR_KEY);
        context.SetProgress(&progress);
    }
    void TearDown() override { DeleteRegistryTree(HKEY_LOCAL_MACHINE, PRODUCT_VENDOR_KEY); }

    bool Install()
    {
        context.m_strInstallPath = installPath;
        return ConfigureSoftware(context) && WriteProductRecords(context);
    }
    void Uninstall() { RemoveRegistryRecords(context); }

    std::string installPath = "D:\\Programs\\Lumiro";
    CRecordingProgress progress;
    CTestContext context;
};
} // namespace

TEST_F(ProductRecordsTest, InstallingReportsItsStageAndRecordsPathBuildAndUtcTime)
{
    const unsigned long long before = Now();
    ASSERT_TRUE(Install());
    const unsigned long long after = Now();

    EXPECT_EQ(progress.stages, std::vector<std::string>{"Configuring software."});
    EXPECT_EQ(progress.statuses, (std::vector<std::string>{"", "Configuring Unicode character maps"}));
    CRegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY));
    std::string path;
    DWORD build = 0, low = 0, high = 0;
    EXPECT_TRUE(key.QueryString(VALUE_INSTALL_PATH, path));
    EXPECT_EQ(path, installPath);
    EXPECT_TRUE(key.QueryDWORD(VALUE_BUILD_NUMBER, build));
    EXPECT_EQ(build, 2093u);
    ASSERT_TRUE(key.QueryDWORD(VALUE_INSTALLED_LOW, low));
    ASSERT_TRUE(key.QueryDWORD(VALUE_INSTALLED_HIGH, high));
    const unsigned long long installed = (static_cast<unsigned long long>(high) << 32) | low;
    const unsigned long long second = 10'000'000; // in 100-nanosecond intervals
    EXPECT_GE(installed + second, before);
    EXPECT_LE(installed, after + second);
}

TEST_F(ProductRecordsTest, InstallingAgainOverwritesTheRecordsAndKeepsOtherValues)
{
    ASSERT_TRUE(Install());
    CRegistryKey key;
    key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
    key.SetString("Foreign", "kept");
    key.SetDWORD(VALUE_BUILD_NUMBER, 1u);
    installPath = "E:\\Elsewhere";
    ASSERT_TRUE(Install());

    const Values values = ReadValues(PRODUCT_INSTALL_KEY);
    EXPECT_EQ(values.size(), 5u);
    EXPECT_EQ(values.at("Foreign").data, (std::vector<BYTE>{'k', 'e', 'p', 't', 0}));
    EXPECT_EQ(values.at(VALUE_BUILD_NUMBER), Dword(2093));
    EXPECT_EQ(values.at(VALUE_INSTALL_PATH).data.size(), installPath.size() + 1);
}

TEST_F(ProductRecordsTest, RemovingDeletesBothProductTreesAndTheEntryAndKeepsTheVendorKeyAndFontMappings)
{
    ASSERT_TRUE(Install());
    WriteUninstallEntry(context);
    ASSERT_TRUE(KeyExists(UNINSTALL_KEY));
    for (const std::string& path :
         {std::string(PRODUCT_INSTALL_KEY) + "\\Sub\\Deeper", std::string(SIBLING_PRODUCT_KEY),
          std::string(SIBLING_PRODUCT_KEY) + "\\Options\\Window"})
    {
        CRegistryKey key;
        key.Create(HKEY_LOCAL_MACHINE, path.c_str());
        key.SetDWORD("x", 1u);
    }

    Uninstall();
    EXPECT_FALSE(KeyExists(PRODUCT_INSTALL_KEY));
    EXPECT_FALSE(KeyExists(SIBLING_PRODUCT_KEY));
    EXPECT_FALSE(KeyExists(UNINSTALL_KEY));
    EXPECT_TRUE(KeyExists(UNINSTALL_PARENT_KEY));
    EXPECT_TRUE(KeyExists(PRODUCT_VENDOR_KEY));
    CRegistryKey fonts;
    fonts.Open(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Unicode Support\\Font Mapping");
    EXPECT_EQ(fonts.CountSubKeys(), 44);

    // Without anything installed, removal leaves just the vendor key.
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, PRODUCT_VENDOR_KEY);
    Uninstall();
    CRegistryKey vendor;
    ASSERT_TRUE(vendor.Open(HKEY_LOCAL_MACHINE, PRODUCT_VENDOR_KEY));
    EXPECT_EQ(vendor.CountSubKeys(), 0);
}

TEST_F(ProductRecordsTest, FontMappingsWriteFortyFourKeysWithTheirSignaturesInOnePass)
{
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WriteFontMappings(context));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("[ timing ] WriteFontMappings wrote 44 keys in %.1f ms\n",
                std::chrono::duration<double, std::milli>(elapsed).count());
    EXPECT_EQ(progress.statuses, std::vector<std::string>{"Configuring Unicode character maps"});

    CRegistryKey fonts;
    fonts.Open(HKEY_LOCAL_MACHINE, "Software\\Corvane\\Unicode Support\\Font Mapping");
    EXPECT_EQ(fonts.CountSubKeys(), 44);
    EXPECT_TRUE(ReadValues("Software\\Corvane\\Unicode Support\\Font Mapping").empty());
    // Signatures for all; every value of the advanced tables, no more.
    const std::map<std::string, size_t> advancedValues = {{"BN-TTBidisha", 298},
                                                          {"AS-TTBidisha", 298},
                                                          {"Simplified Arabic", 43},
                                                          {"Simplified Arabic Bold", 43},
                                                          {"Simplified Arabic Fixed", 43}};
    for (size_t f = 0; f < FONT_TYPEFACE_COUNT; ++f)
    {
        const FontTypeface& face = FONT_TYPEFACES[f];
        const Values values = ReadValues(FontKey(face.name));
        const auto advanced = advancedValues.find(face.name);
        EXPECT_EQ(values.size(), advanced == advancedValues.end() ? 2u : advanced->second) << face.name;
        EXPECT_EQ(values.at("USB Signature"), (Value{REG_BINARY, USB_SIGNATURE})) << face.name;
        EXPECT_EQ(values.at("Custom Signature"), Dword(face.customSignature)) << face.name;
    }
}

TEST_F(ProductRecordsTest, FontMappingsCarryTheFixedValuesUnderTheirNames)
{
    ASSERT_TRUE(Install());
    const Values bn = ReadValues(FontKey("BN-TTBidisha"));
    const Values as = ReadValues(FontKey("AS-TTBidisha"));
    EXPECT_EQ(bn.at("USB Signature").data,
              (std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bn.at("Custom Signature"), Dword(2));
    EXPECT_EQ(bn.at("Zone 6 Offset"), Dword(57614));
    EXPECT_EQ(bn.at("Multimap Count"), Dword(39));
    EXPECT_EQ(bn.at("Multimap 14 CH 3"), Dword(143));
    EXPECT_EQ(bn.at("Multimap 36 CH 5"), Dword(197));
    EXPECT_EQ(bn.at("Multimap 1 From"), Dword(57666));
    EXPECT_EQ(bn.at("Multimap 39 CH 2"), Dword(212));
    EXPECT_EQ(bn.at("Mapping Count"), Dword(144));
    EXPECT_EQ(bn.at("Mapping 1"), Dword(3779133477u));
    EXPECT_EQ(bn.at("Mapping 144"), Dword(3790340340u));
    EXPECT_EQ(as.at("Multimap Count"), Dword(38));
    EXPECT_EQ(as.at("Multimap 38 From"), Dword(57625));
    EXPECT_EQ(as.at("Mapping 97"), Dword(0xE142002B));
    EXPECT_EQ(as.count("Multimap 39 From"), 0u);
    EXPECT_EQ(ReadValues(FontKey("Nafees Nastaleeq")).at("Custom Signature"), Dword(8));
    EXPECT_EQ(ReadValues(FontKey("Simplified Arabic")).at("Mapping 1"), Dword(4271308437u));

    const Values arabic = ReadValues(FontKey("Simplified Arabic"));
    EXPECT_EQ(arabic.size(), 2u + 1 + 1 + 39);
    EXPECT_EQ(ReadValues(FontKey("Simplified Arabic Bold")), arabic);
    EXPECT_EQ(ReadValues(FontKey("Simplified Arabic Fixed")), arabic);
}

TEST_F(ProductRecordsTest, ReinstallingKeepsHandAddedSignatureValuesButRewritesAdvancedKeysWhole)
{
    ASSERT_TRUE(Install());
    for (const char* face : {"DV-Dhruv", "BN-TTBidisha"})
    {
        CRegistryKey key;
        key.Create(HKEY_LOCAL_MACHINE, FontKey(face).c_str());
        key.SetDWORD("By Hand", 1u);
        key.SetDWORD("Mapping 145", 1u);
        CRegistryKey().Create(HKEY_LOCAL_MACHINE, (FontKey(face) + "\\Sub").c_str());
    }
    ASSERT_TRUE(Install());
    const Values dhruv = ReadValues(FontKey("DV-Dhruv"));
    EXPECT_EQ(dhruv.count("By Hand"), 1u);
    EXPECT_EQ(dhruv.count("Mapping 145"), 1u);
    EXPECT_TRUE(KeyExists(FontKey("DV-Dhruv") + "\\Sub"));
    const Values bidisha = ReadValues(FontKey("BN-TTBidisha"));
    EXPECT_EQ(bidisha.count("By Hand"), 0u);
    EXPECT_EQ(bidisha.count("Mapping 145"), 0u);
    EXPECT_EQ(bidisha.size(), 298u);
    EXPECT_FALSE(KeyExists(FontKey("BN-TTBidisha") + "\\Sub"));
}

// CRegistryKey on scratch keys of the real registry of the test prefix.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "framework/RegistryKey.h"

namespace
{
constexpr char SCRATCH[] = "Software\\LumiroTest\\RegistryKey";

struct Raw
{
    LONG result;
    DWORD type;
    std::vector<BYTE> data;
};

// A value as the registry holds it, read past the wrapper.
Raw ReadRaw(HKEY key, const char* name)
{
    Raw raw{0, REG_NONE, std::vector<BYTE>(1024)};
    DWORD size = static_cast<DWORD>(raw.data.size());
    raw.result = ::RegQueryValueExA(key, name, nullptr, &raw.type, raw.data.data(), &size);
    raw.data.resize(raw.result == ERROR_SUCCESS ? size : 0);
    return raw;
}

class RegistryKeyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, SCRATCH);
        key.Create(HKEY_LOCAL_MACHINE, SCRATCH);
        ASSERT_NE(key.GetKey(), nullptr);
    }
    void TearDown() override
    {
        key.Close();
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, SCRATCH);
    }
    int CountValues() const
    {
        int count = 0;
        std::string name;
        while (key.EnumValue(static_cast<DWORD>(count), name, nullptr))
            ++count;
        return count;
    }
    CRegistryKey key;
};
} // namespace

TEST_F(RegistryKeyTest, CarriesItsClassNameAndTheDefaultAccessOfReadAndWrite)
{
    EXPECT_STREQ(key.GetRuntimeClass()->m_lpszClassName, "CRegistryKey");
    EXPECT_TRUE(key.IsKindOf(&CObject::classCObject));
    EXPECT_EQ(CRegistryKey::DefaultAccess, 0x2001Fu);
}

TEST_F(RegistryKeyTest, ReadsOfMissingAndWrongTypedValuesLeaveTheirOutputsUntouched)
{
    key.SetDWORD("dword", 7u);
    key.SetString("text", "abc"); // 4 bytes: a DWORD buffer would take it
    key.SetBinary("bytes", "\1\2\3\4", 4);

    std::string text = "preset";
    DWORD number = 99;
    std::vector<BYTE> array = {9};
    BYTE buffer[4] = {0xCC, 0xCC, 0xCC, 0xCC};
    for (const char* name : {"missing", "dword", "bytes"})
        EXPECT_FALSE(key.QueryString(name, text)) << name;
    for (const char* name : {"missing", "text", "bytes"})
        EXPECT_FALSE(key.QueryDWORD(name, number)) << name;
    for (const char* name : {"missing", "text", "dword"})
    {
        EXPECT_FALSE(key.QueryBinary(name, buffer, 4)) << name;
        EXPECT_FALSE(key.QueryByteArray(name, array)) << name;
    }
    EXPECT_EQ(text, "preset");
    EXPECT_EQ(number, 99u);
    EXPECT_EQ(array, std::vector<BYTE>{9});
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + 4), std::vector<BYTE>(4, 0xCC));
}

TEST_F(RegistryKeyTest, StringsReadBackUpToTheirFirstZeroAndUnexpanded)
{
    key.SetString("empty", "");
    key.SetExpandString("expand", "%SystemRoot%\\x");
    ::RegSetValueExA(key.GetKey(), "unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
    ::RegSetValueExA(key.GetKey(), "embedded", 0, REG_SZ, reinterpret_cast<const BYTE*>("ab\0cd"), 6);
    EXPECT_EQ(ReadRaw(key.GetKey(), "empty").data.size(), 1u); // the terminating zero is written
    EXPECT_EQ(ReadRaw(key.GetKey(), "expand").type, static_cast<DWORD>(REG_EXPAND_SZ));

    std::string text = "preset";
    EXPECT_TRUE(key.QueryString("empty", text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(key.QueryString("expand", text));
    EXPECT_EQ(text, "%SystemRoot%\\x");
    EXPECT_TRUE(key.QueryString("unterminated", text));
    EXPECT_EQ(text, "abc");
    EXPECT_TRUE(key.QueryString("embedded", text));
    EXPECT_EQ(text, "ab");
    const std::string longText(3000, 'x'); // beyond the first query's 256
    key.SetString("long", longText.c_str());
    EXPECT_TRUE(key.QueryString("long", text));
    EXPECT_EQ(text, longText);
}

TEST_F(RegistryKeyTest, IntegersOfEveryThirtyTwoBitTypeAreWrittenLittleEndian)
{
    EXPECT_EQ(key.SetDWORD("i", -2), ERROR_SUCCESS);
    EXPECT_EQ(ReadRaw(key.GetKey(), "i").data, (std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF}));
    long l = 0;
    unsigned int u = 0;
    EXPECT_TRUE(key.QueryDWORD("i", l) && key.QueryDWORD("i", u));
    EXPECT_EQ(l, -2);
    EXPECT_EQ(u, 0xFFFFFFFEu);
}

TEST_F(RegistryKeyTest, QueryBinaryFailsUnlessTheValueHasExactlyTheRequestedSize)
{
    const BYTE sixteen[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    key.SetBinary("fifteen", sixteen, 15);
    key.SetBinary("sixteen", sixteen);
    key.SetBinary("seventeen", std::vector<BYTE>(17, 1).data(), 17);

    BYTE buffer[16];
    std::memset(buffer, 0xCC, sizeof buffer);
    EXPECT_FALSE(key.QueryBinary("fifteen", buffer));
    EXPECT_FALSE(key.QueryBinary("seventeen", buffer));
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + 16), std::vector<BYTE>(16, 0xCC)); // not even partly read
    EXPECT_TRUE(key.QueryBinary("sixteen", buffer));
    EXPECT_EQ(std::memcmp(buffer, sixteen, 16), 0);
    EXPECT_TRUE(key.QueryBinary("fifteen", buffer, 15));
}

TEST_F(RegistryKeyTest, ByteArraysRoundTripIncludingTheEmptyOne)
{
    std::vector<BYTE> array = {7, 7};
    key.SetByteArray("empty", {});
    EXPECT_TRUE(key.QueryByteArray("empty", array));
    EXPECT_TRUE(array.empty());
    key.SetByteArray("three", {1, 0, 255});
    EXPECT_TRUE(key.QueryByteArray("three", array));
    EXPECT_EQ(array, (std::vector<BYTE>{1, 0, 255}));
}

TEST_F(RegistryKeyTest, SetBinaryTextWritesOneByteForEachTwoDigitGroup)
{
    const struct
    {
        const char* text;
        std::vector<BYTE> bytes;
    } cases[] = {
        {"", {}},
        {"0A-FF", {0x0A, 0xFF}},
        {"0A-F", {0x0A}},                 // one group and one more character
        {"1 -zz-+7", {0x01, 0x00, 0x07}}, // strtol: digits up to a non-digit, none gives 0, a sign
        {"-1/ab", {0xFF, 0xAB}},          // low 8 bits of -1; any separator
        {"00-00-00-00-00-00-00-10-00-00-00-00-00-00-00-00",
         {0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases)
    {
        key.SetBinaryText("value", c.text);
        const Raw raw = ReadRaw(key.GetKey(), "value");
        EXPECT_EQ(raw.result, ERROR_SUCCESS) << c.text;
        EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY)) << c.text;
        EXPECT_EQ(raw.data, c.bytes) << c.text;
    }
}

TEST_F(RegistryKeyTest, DeleteContentsEmptiesATreeThreeLevelsDeepAndKeepsTheKey)
{
    CRegistryKey level;
    std::string path = SCRATCH;
    for (const char* name : {"\\one", "\\two", "\\three"})
    {
        path += name;
        level.Create(HKEY_LOCAL_MACHINE, path.c_str());
        level.SetString("text", "x");
        level.SetDWORD("number", 1u);
    }
    CRegistryKey sibling;
    sibling.Create(HKEY_LOCAL_MACHINE, (std::string(SCRATCH) + "\\sibling").c_str());
    level.Close();
    sibling.Close();
    key.SetString("text", "x");
    key.SetDWORD("number", 1u);
    // A value name longer than the walk's 256-character buffer is read again
    // with a larger one, so that it goes too.
    key.SetDWORD(std::string(300, 'n').c_str(), 1u);
    // Names are all collected before deletion: values 0..19 all go.
    for (int i = 0; i < 20; ++i)
        key.SetDWORD(("v" + std::to_string(i)).c_str(), 1u);

    EXPECT_EQ(key.DeleteSubKey("one"), ERROR_ACCESS_DENIED); // NT deletes only empty keys
    key.DeleteContents();
    EXPECT_EQ(key.CountSubKeys(), 0);
    EXPECT_EQ(CountValues(), 0);
    EXPECT_TRUE(CRegistryKey().Open(HKEY_LOCAL_MACHINE, SCRATCH));
}

TEST_F(RegistryKeyTest, DeleteSubKeysKeepsTheKeysOwnValues)
{
    CRegistryKey child;
    child.Create(HKEY_LOCAL_MACHINE, (std::string(SCRATCH) + "\\a\\b").c_str());
    child.SetDWORD("deep", 1u);
    child.Close();
    key.SetDWORD("own", 1u);
    key.DeleteSubKeys();
    EXPECT_EQ(key.CountSubKeys(), 0);
    EXPECT_EQ(CountValues(), 1);
}

TEST_F(RegistryKeyTest, EnumerationsNameSubkeysAndValuesAndCountSubkeys)
{
    EXPECT_EQ(key.CountSubKeys(), 0);
    for (const char* name : {"\\k1", "\\k2", "\\k3"})
        CRegistryKey().Create(HKEY_LOCAL_MACHINE, (std::string(SCRATCH) + name).c_str());
    EXPECT_EQ(key.CountSubKeys(), 3);
    std::string name, className = "preset";
    FILETIME written = {};
    EXPECT_TRUE(key.EnumKey(1, name, className, &written));
    EXPECT_EQ(name, "k2");
    EXPECT_EQ(className, "");
    EXPECT_NE(written.dwHighDateTime, 0u);
    EXPECT_FALSE(key.EnumKey(3, name, className));

    key.SetString("only", "x");
    DWORD type = REG_NONE;
    EXPECT_TRUE(key.EnumValue(0, name, &type));
    EXPECT_EQ(name, "only");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_FALSE(key.EnumValue(1, name, &type));
}

TEST_F(RegistryKeyTest, AnEmptyWrapperFailsEveryOperationWithoutTouchingTheRegistry)
{
    CRegistryKey empty;
    // A failed Create closes the held key and leaves the wrapper empty.
    empty.Create(HKEY_LOCAL_MACHINE, SCRATCH);
    empty.Create(nullptr, "nowhere");
    EXPECT_EQ(empty.GetKey(), nullptr);
    EXPECT_EQ(empty.SetDWORD("x", 1u), ERROR_INVALID_HANDLE);
    EXPECT_EQ(empty.DeleteValue("x"), ERROR_INVALID_HANDLE);
    DWORD number = 5;
    EXPECT_FALSE(empty.QueryDWORD("x", number));
    EXPECT_EQ(number, 5u);
    empty.DeleteContents(); // the walks end on the null key's error
    empty.DeleteSubKeys();
    EXPECT_EQ(empty.CountSubKeys(), 0);
    EXPECT_EQ(empty.Close(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CountValues(), 0);
}

TEST_F(RegistryKeyTest, KeyManagementReplacesOrKeepsTheHeldKeyAsDocumented)
{
    key.SetDWORD("marker", 1u);
    CRegistryKey other;
    EXPECT_TRUE(other.Open(HKEY_LOCAL_MACHINE, SCRATCH));
    EXPECT_FALSE(other.Open(HKEY_LOCAL_MACHINE, "Software\\LumiroTest\\Missing"));
    DWORD marker = 0;
    EXPECT_TRUE(other.QueryDWORD("marker", marker)); // the failed Open kept the key

    // Construction from a key holds a handle of its own.
    CRegistryKey copy(other.GetKey());
    EXPECT_EQ(other.Close(), ERROR_SUCCESS);
    EXPECT_EQ(other.GetKey(), nullptr);
    EXPECT_TRUE(copy.QueryDWORD("marker", marker));
    // ... and is empty when that open fails.
    EXPECT_EQ(CRegistryKey(nullptr).GetKey(), nullptr);

    // Detach hands the key over unclosed.
    const HKEY detached = copy.Detach();
    EXPECT_EQ(copy.GetKey(), nullptr);
    EXPECT_EQ(ReadRaw(detached, "marker").result, ERROR_SUCCESS);
    EXPECT_EQ(::RegCloseKey(detached), ERROR_SUCCESS);
}

TEST_F(RegistryKeyTest, ConnectPutsTwoBackslashesBeforeANameUnlessItHasThem)
{
    EXPECT_EQ(CRegistryKey::ConnectionName("HOST"), "\\\\HOST");
    EXPECT_EQ(CRegistryKey::ConnectionName("\\\\HOST"), "\\\\HOST");
    EXPECT_EQ(CRegistryKey::ConnectionName("\\HOST"), "\\\\\\HOST");
    EXPECT_EQ(CRegistryKey::ConnectionName(""), "");
    EXPECT_EQ(CRegistryKey::ConnectionName(nullptr), "");

    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = sizeof computer;
    ASSERT_TRUE(::GetComputerNameA(computer, &length));
    key.SetDWORD("marker", 1u);
    DWORD marker = 0;
    for (const std::string& name : {std::string(computer), "\\\\" + std::string(computer)})
    {
        CRegistryKey remote;
        EXPECT_TRUE(remote.Connect(name.c_str(), HKEY_LOCAL_MACHINE)) << name;
        CRegistryKey scratch;
        EXPECT_TRUE(scratch.Open(remote.GetKey(), SCRATCH));
        EXPECT_TRUE(scratch.QueryDWORD("marker", marker));
    }
    // A failed connection keeps the held key ("localhost" is no name Wine
    // connects to; one backslash becomes three).
    EXPECT_FALSE(key.Connect("localhost", HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(key.Connect(("\\" + std::string(computer)).c_str(), HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(key.QueryDWORD("marker", marker));
}

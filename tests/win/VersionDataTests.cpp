// CVersionData against real PE files built with chosen version resources,
// and the sample payload's own resources and self-registration.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "framework/Handles.h"
#include "core/VersionData.h"

namespace
{
std::string VersionFixture(const std::string& name) { return FixtureFile("versions\\" + name); }
std::string PayloadFile(const std::string& name) { return FixtureFile("payload\\" + name); }

constexpr ULONGLONG V(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return (ULONGLONG(a) << 48) | (ULONGLONG(b) << 32) | (ULONGLONG(c) << 16) | d;
}

constexpr ULONGLONG UNTOUCHED = 0xDEADBEEFDEADBEEFULL;
} // namespace

TEST(VersionData, HandsOutFileAndProductVersionsAsTwoHalvesOfSixteenBitParts)
{
    CVersionData data;
    ASSERT_TRUE(data.LoadFromFile(VersionFixture("v1234.dll").c_str()));
    ULONGLONG file = 0, product = 0;
    ASSERT_TRUE(data.GetFileVersion(file));
    ASSERT_TRUE(data.GetProductVersion(product));
    EXPECT_EQ(file, 0x0001000200030004ULL);
    EXPECT_EQ(product, 0x0005000600070008ULL);
    EXPECT_EQ(MakeVersion64(0x00010002, 0x00030004), file);
}

TEST(VersionData, StringValuesComeFromTheFirstTranslation)
{
    CVersionData data;
    ASSERT_TRUE(data.LoadFromFile(VersionFixture("v1234.dll").c_str()));
    EXPECT_EQ(data.GetTranslation(), "040904B0");
    std::string text;
    ASSERT_TRUE(data.GetFileDescription(text));
    EXPECT_EQ(text, "Sample library 1.2.3.4");
    ASSERT_TRUE(data.GetFileVersionText(text));
    EXPECT_EQ(text, "1.2.3.4");
    ASSERT_TRUE(data.GetLegalCopyright(text));
    EXPECT_EQ(text, "Copyright (C) Corvane");
    ASSERT_TRUE(data.GetSpecialBuild(text));
    EXPECT_EQ(text, "sample payload");
    ASSERT_TRUE(data.GetStringValue("OriginalFilename", text));
    EXPECT_EQ(text, "v1234.dll");

    // A value the block lacks, and a name too long for the query path, leave
    // the output as it was.
    text = "untouched";
    EXPECT_FALSE(data.GetComments(text));
    EXPECT_FALSE(data.GetStringValue(std::string(1100, 'X').c_str(), text));
    EXPECT_EQ(text, "untouched");
}

TEST(VersionData, OnlyTheFirstOfSeveralTranslationsIsConsulted)
{
    CVersionData data;
    ASSERT_TRUE(data.LoadFromFile(VersionFixture("multilang.dll").c_str()));
    EXPECT_EQ(data.GetTranslation(), "040704E4");
    std::string text;
    ASSERT_TRUE(data.GetFileDescription(text));
    EXPECT_EQ(text, "Beispielbibliothek");
    // Present only under the second, English translation.
    text = "untouched";
    EXPECT_FALSE(data.GetComments(text));
    EXPECT_EQ(text, "untouched");
    ULONGLONG version = 0;
    ASSERT_TRUE(data.GetFileVersion(version));
    EXPECT_EQ(version, V(4, 5, 6, 7));
}

TEST(VersionData, FilesWithoutAResourceOrTranslationTableDoNotLoadAndAnswerNothing)
{
    for (const std::string& path : {VersionFixture("noversion.dll"), VersionFixture("notranslation.dll"),
                                    VersionFixture("missing.dll"), PayloadFile("APPS_NT\\ReaderRes.dll")})
    {
        SCOPED_TRACE(path);
        CVersionData data;
        EXPECT_FALSE(data.LoadFromFile(path.c_str()));
        EXPECT_FALSE(data.IsLoaded());
        EXPECT_EQ(data.GetTranslation(), "");
        ULONGLONG version = UNTOUCHED;
        std::string text = "untouched";
        EXPECT_FALSE(data.GetFileVersion(version));
        EXPECT_FALSE(data.GetProductVersion(version));
        EXPECT_FALSE(data.GetFileDescription(text));
        EXPECT_FALSE(data.GetStringValue("FileVersion", text));
        EXPECT_EQ(version, UNTOUCHED);
        EXPECT_EQ(text, "untouched");
    }
}

TEST(VersionData, AnObjectIsLoadedOnceAndKeepsItsFirstFile)
{
    CVersionData data;
    ASSERT_TRUE(data.LoadFromFile(VersionFixture("v3000.dll").c_str()));
    ::SetLastError(0);
    EXPECT_FALSE(data.LoadFromFile(VersionFixture("v1235.dll").c_str()));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_ALREADY_INITIALIZED));
    ULONGLONG version = 0;
    ASSERT_TRUE(data.GetFileVersion(version));
    EXPECT_EQ(version, V(3, 0, 0, 0));
}

TEST(VersionData, ModulesAreReadFromTheFileTheyWereLoadedFrom)
{
    unique_hmodule module(::LoadLibraryExA(VersionFixture("v1299.dll").c_str(), nullptr, 0));
    ASSERT_TRUE(module);
    CVersionData data;
    ASSERT_TRUE(data.LoadFromModule(module.get()));
    ULONGLONG version = 0;
    ASSERT_TRUE(data.GetFileVersion(version));
    EXPECT_EQ(version, V(1, 2, 9, 9));

    // A null handle stands for the running program, which links the setup's
    // own resources and so its version.
    CVersionData self;
    ASSERT_TRUE(self.LoadFromModule(nullptr));
    ASSERT_TRUE(self.GetFileVersion(version));
    EXPECT_EQ(version, V(1, 0, 2093, 0));
    std::string description;
    ASSERT_TRUE(self.GetFileDescription(description));
    EXPECT_EQ(description, "Lumiro Setup");
}

TEST(VersionData, CarriesItsRunTimeClass)
{
    CVersionData data;
    EXPECT_STREQ(data.GetRuntimeClass()->m_lpszClassName, "CVersionData");
    EXPECT_EQ(data.GetRuntimeClass()->m_pBaseClass, RUNTIME_CLASS(CObject));
    EXPECT_TRUE(data.IsKindOf(RUNTIME_CLASS(CObject)));
}

// Counts each resource it is told of (a callback of the system's calling
// convention, which a lambda has not on i686).
BOOL CALLBACK CountResource(HMODULE, LPCSTR, LPSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST(SamplePayload, ReadersCarryTwoIconsAndAVersion)
{
    for (const char* reader : {"APPS_NT\\ReaderNT.exe", "APPS_95\\Reader95.exe"})
    {
        SCOPED_TRACE(reader);
        const std::string path = PayloadFile(reader);
        CVersionData data;
        ASSERT_TRUE(data.LoadFromFile(path.c_str()));
        ULONGLONG version = 0;
        ASSERT_TRUE(data.GetFileVersion(version));
        EXPECT_EQ(version, V(3, 1, 2093, 0));

        unique_hmodule image(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(image);
        int icons = 0;
        ::EnumResourceNamesA(image.get(), RT_GROUP_ICON, CountResource, reinterpret_cast<LONG_PTR>(&icons));
        EXPECT_EQ(icons, 2);
    }
    for (const char* library : {"RTDLL_NT\\LumRtl.dll", "RTDLL_95\\pi_w32.dll", "APPS_NT\\UiCtlsU.ocx"})
    {
        CVersionData data;
        EXPECT_TRUE(data.LoadFromFile(PayloadFile(library).c_str())) << library;
    }
}

TEST(SamplePayload, ControlsWriteTheirClassKeyWhenRegisteredAndRemoveItWhenUnregistered)
{
    struct Control
    {
        const char* file;
        const char* classKey;
    };
    for (const Control& control : {Control{"APPS_NT\\UiCtlsU.ocx", SAMPLE_CONTROL_U_CLASS_KEY},
                                   Control{"APPS_95\\UiCtlsA.ocx", SAMPLE_CONTROL_A_CLASS_KEY}})
    {
        SCOPED_TRACE(control.file);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, control.classKey);
        const std::string path = PayloadFile(control.file);
        unique_hmodule module(::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        ASSERT_TRUE(module);
        using EntryPoint = HRESULT(STDAPICALLTYPE*)();
        const auto registerServer =
            reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "DllRegisterServer")));
        const auto unregisterServer = reinterpret_cast<EntryPoint>(
            reinterpret_cast<void*>(::GetProcAddress(module.get(), "DllUnregisterServer")));
        ASSERT_TRUE(registerServer && unregisterServer);

        ASSERT_EQ(registerServer(), S_OK);
        char modulePath[MAX_PATH];
        const std::string loadedFrom(modulePath, ::GetModuleFileNameA(module.get(), modulePath, MAX_PATH));
        const std::string serverKey = std::string(control.classKey) + "\\InprocServer32";
        EXPECT_EQ(RegistryDefaultValue(HKEY_CLASSES_ROOT, serverKey), loadedFrom);

        ASSERT_EQ(unregisterServer(), S_OK);
        HKEY key;
        EXPECT_EQ(::RegOpenKeyExA(HKEY_CLASSES_ROOT, control.classKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    }
}

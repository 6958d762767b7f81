// The machine type of each file decides where it goes and how it registers:
// the PE header read from bytes, from files and from package entries, the
// system folder of each kind, the runtime package's plan and the refusal of
// a file this Windows cannot run, and a control of the other bitness.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "TestPackages.h"
#include "TestSupport.h"
#include "core/ImageMachine.h"
#include "core/Platform.h"
#include "core/SetupContext.h"
#include "framework/SystemCalls.h"
#include "install/OleRegistration.h"
#include "install/PayloadPlacement.h"
#include "package/PackageFile.h"
#include "undo/UndoJournal.h"

namespace
{
// The first bytes of an image: an MZ header naming its PE header at offset,
// and the PE header with the machine field.
std::string ImageHead(WORD machine, DWORD offset = 0x80, size_t size = 0x200)
{
    std::string head(size > offset + 6 ? size : offset + 6, '\0');
    head[0] = 'M';
    head[1] = 'Z';
    for (int i = 0; i < 4; ++i)
        head[0x3C + i] = static_cast<char>(offset >> (8 * i));
    head.replace(offset, 4, std::string("PE\0\0", 4));
    head[offset + 4] = static_cast<char>(machine & 0xFF);
    head[offset + 5] = static_cast<char>(machine >> 8);
    return head.substr(0, size);
}

ImageMachine MachineOf(const std::string& bytes, DWORD* headerEnd = nullptr)
{
    return ImageMachineOf(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), headerEnd);
}

std::string ReadWholeFile(const std::string& path)
{
    std::string data;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return data;
    char buffer[65536];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        data.append(buffer, read);
    std::fclose(file);
    return data;
}

bool WriteFileBytes(const std::string& path, const std::string& data)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    return std::fclose(file) == 0 && written;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

ImageMachine OtherMachine() { return RunningMachine() == ImageMachine::X64 ? ImageMachine::X86 : ImageMachine::X64; }

// The library of the sample payload of this build, or of the other bitness.
std::string SampleLibrary(bool other, const char* name = "LumRtl.dll")
{
    return FixtureFile(std::string(other ? "other\\fixtures\\payload\\RTDLL_NT\\" : "payload\\RTDLL_NT\\") + name);
}
} // namespace

TEST(ImageMachineTest, TheMachineFieldOfThePeHeaderTellsTheKind)
{
    struct Case
    {
        const char* what;
        std::string bytes;
        ImageMachine machine;
    };
    const Case cases[] = {
        {"x86", ImageHead(IMAGE_FILE_MACHINE_I386), ImageMachine::X86},
        {"x64", ImageHead(IMAGE_FILE_MACHINE_AMD64), ImageMachine::X64},
        {"arm64", ImageHead(0xAA64), ImageMachine::Other},
        {"no MZ", "PK\3\4" + ImageHead(IMAGE_FILE_MACHINE_I386).substr(4), ImageMachine::NotAnImage},
        {"no PE signature", std::string(ImageHead(IMAGE_FILE_MACHINE_I386)).replace(0x80, 2, "NE"),
         ImageMachine::NotAnImage},
        {"cut within the MZ header", ImageHead(IMAGE_FILE_MACHINE_I386).substr(0, 0x3E), ImageMachine::NotAnImage},
        {"header offset inside the MZ header", ImageHead(IMAGE_FILE_MACHINE_I386, 0x10), ImageMachine::NotAnImage},
        {"text", "Lumiro prompter script, line 1\r\n", ImageMachine::NotAnImage},
        {"empty", "", ImageMachine::NotAnImage},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MachineOf(c.bytes), c.machine) << c.what;
}

TEST(ImageMachineTest, AHeaderBeyondTheBytesGivenAsksForMoreAndAFarOneIsNoImage)
{
    DWORD headerEnd = 0;
    const std::string farImage = ImageHead(IMAGE_FILE_MACHINE_AMD64, 0x2000, 0x2010);
    EXPECT_EQ(MachineOf(farImage.substr(0, 0x1000), &headerEnd), ImageMachine::NotAnImage);
    EXPECT_EQ(headerEnd, 0x2006u);
    EXPECT_EQ(MachineOf(farImage, &headerEnd), ImageMachine::X64);
    EXPECT_EQ(headerEnd, 0u);
    // No linker puts the header megabytes in: not followed.
    EXPECT_EQ(MachineOf(ImageHead(IMAGE_FILE_MACHINE_I386, 0x7FFFFFF0, 0x200), &headerEnd), ImageMachine::NotAnImage);
    EXPECT_EQ(headerEnd, 0u);
}

TEST(ImageMachineTest, FilesOnDiskAndPackageEntriesTellTheirOwnKind)
{
    CScratchFolder scratch("machines");
    const std::string farHeader = scratch / "far.dll";
    const std::string farImage = ImageHead(IMAGE_FILE_MACHINE_I386, 0x1800, 0x1900);
    ASSERT_TRUE(WriteFileBytes(farHeader, farImage));
    EXPECT_EQ(ImageMachineOfFile(SampleLibrary(false)), RunningMachine());
    EXPECT_EQ(ImageMachineOfFile(SampleLibrary(true)), OtherMachine());
    EXPECT_EQ(ImageMachineOfFile(farHeader), ImageMachine::X86);
    EXPECT_EQ(ImageMachineOfFile(scratch / "missing.dll"), ImageMachine::NotAnImage);

    // The same from a package's entries, stored and compressed.
    for (const bool compressed : {false, true})
    {
        const std::string path = scratch / "machines.pkg";
        ASSERT_TRUE(WriteTestPackage(path, compressed,
                                     {FileEntry(L"own.dll", ReadWholeFile(SampleLibrary(false))),
                                      FileEntry(L"other.dll", ReadWholeFile(SampleLibrary(true))),
                                      FileEntry(L"far.dll", farImage), FileEntry(L"notes.txt", "not a program"),
                                      FileEntry(L"empty.dat", "")}));
        CPackageFile package(FALSE);
        ASSERT_TRUE(package.Open(path.c_str(), FALSE));
        EXPECT_EQ(EntryMachine(package, 0), RunningMachine());
        EXPECT_EQ(EntryMachine(package, 1), OtherMachine());
        EXPECT_EQ(EntryMachine(package, 2), ImageMachine::X86);
        EXPECT_EQ(EntryMachine(package, 3), ImageMachine::NotAnImage);
        EXPECT_EQ(EntryMachine(package, 4), ImageMachine::NotAnImage);
    }
}

TEST(SystemFolderTest, EachKindHasTheSystemFolderOfItsOwnOn64BitWindows)
{
    ASSERT_TRUE(IsWindows64()) << "the tests run in a 64-bit prefix";
    std::string system;
    ASSERT_GT(GetSystemDirectoryU(system, MAX_PATH + 1), 0u);
    EXPECT_EQ(SystemFolderFor(ImageMachine::X64), system);
    EXPECT_EQ(CompareNamesU(SystemFolderFor(ImageMachine::X86), FolderOf(system) + "\\SysWOW64"), 0)
        << SystemFolderFor(ImageMachine::X86);
    EXPECT_EQ(SystemFolderFor(ImageMachine::Other), "");
    EXPECT_EQ(SystemFolderFor(ImageMachine::NotAnImage), "");
}

namespace
{
class PayloadPlanTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        context.SetPrompts(&prompts);
        context.m_strSourceDir = scratch / "";
        context.m_strSystemDir = SystemFolderFor(ImageMachine::X64);
        ASSERT_TRUE(WriteTestPackage(scratch / "APPS_NT.PKG", true, {FileEntry(L"readme.txt", "Lumiro")}));
    }

    void WriteRuntimePackage(const std::vector<TestEntry>& entries)
    {
        ASSERT_TRUE(WriteTestPackage(scratch / "RTDLL_NT.PKG", true, entries));
    }

    CScratchFolder scratch{"plan"};
    CTestContext context;
    CScriptedPrompts prompts;
    const std::string folder32 = SystemFolderFor(ImageMachine::X86);
    const std::string folder64 = SystemFolderFor(ImageMachine::X64);
    const std::string lib32 = ReadWholeFile(SampleLibrary(RunningMachine() != ImageMachine::X86));
    const std::string lib64 = ReadWholeFile(SampleLibrary(RunningMachine() != ImageMachine::X64));
};
} // namespace

TEST_F(PayloadPlanTest, EachLibraryGoesToItsKindsFolderAndDataFilesGoWithTheImages)
{
    ASSERT_FALSE(lib32.empty());
    ASSERT_FALSE(lib64.empty());
    struct Case
    {
        const char* what;
        std::vector<TestEntry> entries;
        std::vector<std::string> folders;
    };
    const std::vector<Case> cases = {
        {"32-bit libraries",
         {FileEntry(L"LumRtl.dll", lib32), KindEntry(L"Sub", 1), FileEntry(L"LumRtl.cfg", "[data]")},
         {folder32, "", folder32}},
        {"64-bit libraries", {FileEntry(L"LumRtl.cfg", "[data]"), FileEntry(L"LumRtl.dll", lib64)}, {folder64, folder64}},
        {"both kinds", {FileEntry(L"a.dll", lib32), FileEntry(L"b.dll", lib64), FileEntry(L"c.cfg", "")},
         {folder32, folder64, context.m_strSystemDir}},
        {"data only", {FileEntry(L"LumRtl.cfg", "[data]")}, {context.m_strSystemDir}},
    };
    for (const Case& c : cases)
    {
        WriteRuntimePackage(c.entries);
        EXPECT_TRUE(PlanPayload(context)) << c.what;
        EXPECT_EQ(context.m_arrRuntimeFolders, c.folders) << c.what;
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PayloadPlanTest, AFileForAnotherProcessorIsRefusedNamingItAndItsPackage)
{
    const std::string arm = ImageHead(0xAA64);
    WriteRuntimePackage({FileEntry(L"LumRtl.dll", lib32), FileEntry(L"pi_arm.dll", arm)});
    EXPECT_FALSE(PlanPayload(context));
    EXPECT_FALSE(context.m_bPayloadPlanned);
    WriteRuntimePackage({FileEntry(L"LumRtl.dll", lib32)});
    ASSERT_TRUE(WriteTestPackage(scratch / "APPS_NT.PKG", false, {FileEntry(L"UiCtlsU.ocx", arm)}));
    EXPECT_FALSE(PlanPayload(context));
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].text, "The file \"pi_arm.dll\" of RTDLL_NT.PKG is built for another kind of processor "
                                     "than this computer runs: Setup has changed nothing.");
    EXPECT_EQ(prompts.shown[1].text, "The file \"UiCtlsU.ocx\" of APPS_NT.PKG is built for another kind of "
                                     "processor than this computer runs: Setup has changed nothing.");
}

TEST_F(PayloadPlanTest, PackagesThatCannotBeReadAreLeftToTheStepsThatInstallThem)
{
    ::DeleteFileA((scratch / "APPS_NT.PKG").c_str());
    EXPECT_TRUE(PlanPayload(context));
    EXPECT_TRUE(context.m_arrRuntimeFolders.empty());
    EXPECT_TRUE(prompts.shown.empty());
}

// A control of the other bitness is registered by the system's regsvr32 of
// its kind. Where the prefix has no such program (Wine without its other
// half) nothing of it ran: the failure is shown and an undo has nothing to
// unregister.
TEST(OtherBitnessControlTest, RegistersThroughItsKindsRegsvr32OrFailsWithNothingToUnregister)
{
    CScratchFolder scratch("ole-other");
    CTestContext context;
    CScriptedPrompts prompts;
    CRecordingEvents events;
    context.SetPrompts(&prompts);
    context.SetEvents(&events);
    context.m_strInstallPath = scratch / "Lumiro";
    ASSERT_TRUE(::CreateDirectoryA(context.m_strInstallPath.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((scratch / "Lumiro\\Programs").c_str(), nullptr));
    const std::string control = scratch / "Lumiro\\Programs\\UiCtlsU.ocx";
    ASSERT_TRUE(::CopyFileA(FixtureFile("other\\fixtures\\payload\\APPS_NT\\UiCtlsU.ocx").c_str(), control.c_str(), FALSE));
    const std::string classKey = std::string(SAMPLE_CONTROL_U_CLASS_KEY) + "\\InprocServer32";
    const REGSAM otherView = RunningMachine() == ImageMachine::X64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

    const bool regsvr32 = FileExists(SystemFolderFor(OtherMachine()) + "\\regsvr32.exe");
    if (regsvr32)
    {
        ASSERT_TRUE(RegisterOleControls(context));
        EXPECT_EQ(RegistryDefaultValue(HKEY_CLASSES_ROOT, classKey, otherView), control);
        EXPECT_EQ(UnregisterServerModule(control), ServerCallResult::Done);
        EXPECT_EQ(RegistryDefaultValue(HKEY_CLASSES_ROOT, classKey, otherView), "");
        return;
    }
    EXPECT_EQ(RegisterServerModule(control), ServerCallResult::NotRun);
    EXPECT_FALSE(RegisterOleControls(context));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Failed to register OLE control \"" + control + "\"");
    EXPECT_TRUE(context.Rollback().empty());
    EXPECT_TRUE(events.notUndone.empty());
}

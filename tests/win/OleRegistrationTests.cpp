// Registration of the OLE control: the sample controls of the payload really
// register themselves, writing a class key that names their full path. The
// same tests run as an NT-family program and under Windows 9x emulation.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/SetupContext.h"
#include "install/OleRegistration.h"

namespace
{
class OleRegistrationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        context.SetPrompts(&prompts);
        context.SetProgress(&progress);
        context.m_strInstallPath = scratch / "Lumiro";
        ::CreateDirectoryA(context.m_strInstallPath.c_str(), nullptr);
        ::CreateDirectoryA(programs.c_str(), nullptr);
        RemoveClassKeys();
    }
    void TearDown() override { RemoveClassKeys(); }

    static void RemoveClassKeys()
    {
        DeleteRegistryTree(HKEY_CLASSES_ROOT, SAMPLE_CONTROL_U_CLASS_KEY);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, SAMPLE_CONTROL_A_CLASS_KEY);
    }

    // The control file this platform registers.
    std::string PlatformControl() const { return programs + (RunsAsNt() ? "\\UiCtlsU.ocx" : "\\UiCtlsA.ocx"); }

    CScratchFolder scratch{"ole"};
    CTestContext context;
    CScriptedPrompts prompts;
    CRecordingProgress progress;
    const std::string programs = scratch / "Lumiro\\Programs";
};
} // namespace

TEST_F(OleRegistrationTest, RegistersOnlyTheBuildForThePlatform)
{
    ASSERT_TRUE(::CopyFileA(FixtureFile("payload\\APPS_NT\\UiCtlsU.ocx").c_str(), (programs + "\\UiCtlsU.ocx").c_str(),
                            FALSE));
    ASSERT_TRUE(::CopyFileA(FixtureFile("payload\\APPS_95\\UiCtlsA.ocx").c_str(), (programs + "\\UiCtlsA.ocx").c_str(),
                            FALSE));
    ASSERT_TRUE(RegisterOleControls(context));
    EXPECT_EQ(progress.stages, std::vector<std::string>{"Registering OLE Controls"});
    EXPECT_EQ(progress.status, "");
    EXPECT_TRUE(prompts.shown.empty());

    const std::string registered = RunsAsNt() ? SAMPLE_CONTROL_U_CLASS_KEY : SAMPLE_CONTROL_A_CLASS_KEY;
    const std::string other = RunsAsNt() ? SAMPLE_CONTROL_A_CLASS_KEY : SAMPLE_CONTROL_U_CLASS_KEY;
    EXPECT_EQ(RegistryDefaultValue(HKEY_CLASSES_ROOT, registered + "\\InprocServer32"), PlatformControl());
    HKEY key;
    EXPECT_NE(::RegOpenKeyExA(HKEY_CLASSES_ROOT, other.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    // The control was unloaded again.
    EXPECT_EQ(::GetModuleHandleA(PlatformControl().c_str()), nullptr);
}

TEST_F(OleRegistrationTest, AControlThatAnswersSFalseOrIsMissingStopsWithTheMessageNamingIt)
{
    const std::string message = "Failed to register OLE control \"" + PlatformControl() + "\"";
    EXPECT_FALSE(RegisterOleControls(context));

    ASSERT_TRUE(::CopyFileA(FixtureFile("controls\\Declining.ocx").c_str(), PlatformControl().c_str(), FALSE));
    EXPECT_FALSE(RegisterOleControls(context));

    ASSERT_EQ(prompts.shown.size(), 2u);
    for (const auto& shown : prompts.shown)
    {
        EXPECT_EQ(shown.text, message);
        EXPECT_EQ(shown.type, unsigned(MB_OK));
    }
}

// Writing files under Windows 9x emulation: Wine reports Windows 98 to this
// program (its per-application Windows version, set by the test fixture), so
// a file in use is queued as two "[rename]" lines with short paths, which go
// into WININIT.INI after the package, and never as delayed moves.
#include <gtest/gtest.h>

#include "TestPackages.h"
#include "TestSupport.h"
#include "core/Platform.h"
#include "core/SetupContext.h"
#include "install/FileWriter.h"
#include "undo/UndoJournal.h"
#include "install/PackageInstall.h"
#include "install/WininitRenames.h"
#include "package/PackageCatalog.h"
#include "package/PackageFile.h"

namespace
{
const std::string NEW_CONTENTS = "new contents of the library\r\n";
const std::string OLD_CONTENTS = "old contents";
const std::string BOOT_REPLACE_FAILED = "Failed to schedule a boot-time file replacement - ";

// The system's short form of an existing path; empty when it has none.
std::string ShortPath(const std::string& path)
{
    char buffer[1024];
    const DWORD length = ::GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return length != 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

// What a file's owner would notice changing: attributes and last-write time.
struct FileState
{
    DWORD attributes;
    ULONGLONG lastWrite;
    bool operator==(const FileState& other) const
    {
        return attributes == other.attributes && lastWrite == other.lastWrite;
    }
};

FileState StateOf(const std::string& path)
{
    FILETIME creation{}, lastWrite{};
    GetFileTimes(path, creation, lastWrite);
    return {::GetFileAttributesA(path.c_str()), FileTimeValue(lastWrite)};
}

// A run's context with scripted prompts, a scratch Windows folder (so that
// the prefix's own WININIT.INI is never touched) and a destination
// folder whose long name is no 8.3 name and holds a space, as
// "C:\Program Files" does.
class Win9xWriterTest : public ::testing::Test
{
protected:
    Win9xWriterTest() : scratch("writer9x"), windows("writer9x-windows")
    {
        context.SetPrompts(&prompts);
        context.SetProgress(&progress);
        context.m_strWindowsDir = windows.Path();
        context.SetBootQueue(&queue);
        context.m_strSourceDir = scratch / "media\\";
        ::CreateDirectoryA((scratch / "media").c_str(), nullptr);
        ::CreateDirectoryA(folder.c_str(), nullptr);
    }

    // Every case depends on the emulated platform: as NT they would test
    // the delayed moves instead, so none of them may run as NT.
    void SetUp() override
    {
        ASSERT_FALSE(IsWindowsNT())
            << "Wine reports an NT-family system: the AppDefaults Version of this program is not win98";
        pendingBefore = ReadPendingRenames();
    }

    void OpenPackage(const std::vector<TestEntry>& entries)
    {
        ASSERT_TRUE(WriteTestPackage(scratch / "test.pkg", true, entries));
        ASSERT_TRUE(package.Open((scratch / "test.pkg").c_str(), FALSE));
    }

    // True when the file was written or queued for the restart.
    bool Write(int index, const std::string& target)
    {
        CFileWriter writer(context);
        return writer.WriteFileFromPackage(package, package.GetCatalog().GetAt(index), index, target) !=
               FileWriteResult::Failed;
    }

    // The "[rename]" lines waiting in the queue of Windows 9x.
    std::vector<std::string>& Lines() { return queue.m_arrBootRenames; }

    void Package(const std::string& name, const std::vector<TestEntry>& entries)
    {
        ASSERT_TRUE(WriteTestPackage(scratch / ("media\\" + name), true, entries));
    }

    std::vector<std::string> Shown() const
    {
        std::vector<std::string> texts;
        for (const auto& item : prompts.shown)
            texts.push_back(item.text);
        return texts;
    }

    std::string Wininit() const { return ReadTextFile(windows / "WININIT.INI"); }

    CScratchFolder scratch;
    CScratchFolder windows;
    const std::string folder = scratch / "Lumiro Programs";
    CTestContext context;
    CWininitQueue queue{windows.Path()};
    CScriptedPrompts prompts;
    CRecordingProgress progress;
    CPackageFile package;
    std::vector<std::string> pendingBefore;
};
} // namespace

TEST(Win9xEmulation, TheSystemReportsWindows98)
{
    const OSVERSIONINFOA info = SystemVersion();
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_WINDOWS));
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 10u);
    EXPECT_FALSE(IsWindowsNT());
}

// A target held open by another process cannot be deleted: two lines with
// the short paths are queued, nothing else changes until the package ends.
TEST_F(Win9xWriterTest, HeldTargetIsQueuedAsTwoRenameLinesWithShortPaths)
{
    OpenPackage({FileEntry(L"HeldLibrary.dll", NEW_CONTENTS)});
    const std::string target = folder + "\\HeldLibrary.dll";
    const std::string temporary = folder + "\\$tmp0001.tmp";
    ASSERT_TRUE(WriteTextFile(target, OLD_CONTENTS));
    const FileState oldState = StateOf(target);
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(target));

    EXPECT_TRUE(Write(0, target));
    const std::string shortTarget = ShortPath(target);
    const std::string shortTemporary = ShortPath(temporary);
    holder.Release();

    // The long path has a space and a name longer than 8.3: a short form
    // that differs from it is what makes the lines readable at start-up.
    ASSERT_FALSE(shortTarget.empty());
    ASSERT_FALSE(shortTemporary.empty());
    EXPECT_NE(shortTarget, target);
    EXPECT_EQ(shortTarget.find(' '), std::string::npos);
    EXPECT_EQ(shortTemporary.find(' '), std::string::npos);
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"NUL=" + shortTarget, shortTarget + "=" + shortTemporary}));
    // Nothing is queued before the lines are in WININIT.INI.
    EXPECT_FALSE(context.m_bRebootNeeded);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(ReadTextFile(temporary), NEW_CONTENTS);
    EXPECT_EQ(ReadTextFile(target), OLD_CONTENTS);
    EXPECT_EQ(StateOf(target), oldState);
    EXPECT_EQ(TemporaryFiles(folder), std::vector<std::string>{"$tmp0001.tmp"});
    // Nothing touches WININIT.INI before the package is complete, and
    // Windows 9x has no delayed moves.
    EXPECT_FALSE(FileExists(windows / "WININIT.INI"));
    EXPECT_EQ(ReadPendingRenames(), pendingBefore);
}

// After the whole package is installed, its queued lines are merged into the
// "[rename]" section of WININIT.INI in the Windows folder.
TEST_F(Win9xWriterTest, PackageWithAHeldFileWritesBothLinesIntoWininitAfterwards)
{
    const std::string target = folder + "\\HeldLibrary.dll";
    ASSERT_TRUE(WriteTextFile(target, OLD_CONTENTS));
    Package("APPS_95.PKG",
            {FileEntry(L"HeldLibrary.dll", NEW_CONTENTS), FileEntry(L"Reader95.exe", "reader")});
    prompts.replaceAnswers = {ReplaceAnswer::Yes}; // the old file has no version
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(target));

    EXPECT_TRUE(InstallPackage(context, "APPS_95.PKG", folder));
    const std::string shortTarget = ShortPath(target);
    const std::string shortTemporary = ShortPath(folder + "\\$tmp0001.tmp");
    holder.Release();

    ASSERT_FALSE(shortTarget.empty());
    ASSERT_FALSE(shortTemporary.empty());
    EXPECT_EQ(Wininit(),
              "[rename]\r\nNUL=" + shortTarget + "\r\n" + shortTarget + "=" + shortTemporary + "\r\n");
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(context.m_bRebootNeeded);
    EXPECT_EQ(prompts.replaceQuestions.size(), 1u);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(ReadTextFile(folder + "\\Reader95.exe"), "reader");
    EXPECT_EQ(ReadTextFile(target), OLD_CONTENTS);
    EXPECT_EQ(ReadTextFile(folder + "\\$tmp0001.tmp"), NEW_CONTENTS);
    EXPECT_EQ(ReadPendingRenames(), pendingBefore);
}

// The 95 packages are the ones installed, and each package's lines go into
// the section the one before wrote, after its lines and before other
// sections, which stay as they were.
TEST_F(Win9xWriterTest, EachPackageAddsItsLinesToTheSectionTheOneBeforeWrote)
{
    const std::string system = scratch / "System Folder";
    const std::string programs = scratch / "Lumiro\\Programs";
    ::CreateDirectoryA(system.c_str(), nullptr);
    ::CreateDirectoryA((scratch / "Lumiro").c_str(), nullptr);
    ::CreateDirectoryA(programs.c_str(), nullptr);
    context.m_strSystemDir = system;
    context.m_strInstallPath = scratch / "Lumiro";
    const std::string runtime = system + "\\LumiroRuntime.dll";
    const std::string reader = programs + "\\ReaderResources.dll";
    ASSERT_TRUE(WriteTextFile(runtime, OLD_CONTENTS));
    ASSERT_TRUE(WriteTextFile(reader, OLD_CONTENTS));
    ASSERT_TRUE(WriteTextFile(windows / "WININIT.INI", "[boot]\r\nx=1\r\n"));
    Package("RTDLL_95.PKG", {FileEntry(L"LumiroRuntime.dll", "runtime 95")});
    Package("APPS_95.PKG", {FileEntry(L"ReaderResources.dll", "reader 95")});
    Package("RTDLL_NT.PKG", {FileEntry(L"WrongRuntime.dll", "nt")});
    Package("APPS_NT.PKG", {FileEntry(L"WrongReader.dll", "nt")});
    prompts.replaceAnswers = {ReplaceAnswer::Yes, ReplaceAnswer::Yes};
    CFileHolder runtimeHolder;
    CFileHolder readerHolder;
    ASSERT_TRUE(runtimeHolder.Hold(runtime));
    ASSERT_TRUE(readerHolder.Hold(reader));

    EXPECT_TRUE(InstallPackages(context));
    const std::string shortRuntime = ShortPath(runtime);
    const std::string shortReader = ShortPath(reader);
    const std::string runtimeTemporary = ShortPath(system + "\\$tmp0001.tmp");
    const std::string readerTemporary = ShortPath(programs + "\\$tmp0001.tmp");
    runtimeHolder.Release();
    readerHolder.Release();

    ASSERT_FALSE(shortRuntime.empty());
    ASSERT_FALSE(shortReader.empty());
    ASSERT_FALSE(runtimeTemporary.empty());
    ASSERT_FALSE(readerTemporary.empty());
    EXPECT_EQ(Wininit(), "[boot]\r\nx=1\r\n[rename]\r\n"
                         "NUL=" +
                             shortRuntime + "\r\n" + shortRuntime + "=" + runtimeTemporary + "\r\n" +
                             "NUL=" + shortReader + "\r\n" + shortReader + "=" + readerTemporary + "\r\n");
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_FALSE(FileExists(system + "\\WrongRuntime.dll"));
    EXPECT_FALSE(FileExists(programs + "\\WrongReader.dll"));
    EXPECT_EQ(ReadPendingRenames(), pendingBefore);
}

// Lines queued by a package whose walk stops with an error are not written:
// a corrupt entry after the held file, or the user cancelling at the next.
TEST_F(Win9xWriterTest, NoWininitMergeWhenTheWalkFails)
{
    const std::string target = folder + "\\HeldLibrary.dll";
    const std::string unversioned = folder + "\\Settings.dat";
    ASSERT_TRUE(WriteTextFile(target, OLD_CONTENTS));
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(target));

    for (const bool cancel : {false, true})
    {
        SCOPED_TRACE(cancel ? "cancelled" : "corrupt entry");
        Lines().clear();
        context.m_bReplaceCancelled = FALSE;
        prompts.shown.clear();
        prompts.replaceQuestions.clear();
        ASSERT_TRUE(WriteTextFile(unversioned, OLD_CONTENTS));
        if (cancel)
        {
            Package("APPS_95.PKG",
                    {FileEntry(L"HeldLibrary.dll", NEW_CONTENTS), FileEntry(L"Settings.dat", "new")});
            prompts.replaceAnswers = {ReplaceAnswer::Yes, ReplaceAnswer::Cancel};
        }
        else
        {
            Package("APPS_95.PKG",
                    {FileEntry(L"HeldLibrary.dll", NEW_CONTENTS), KindEntry(L"settings", entryConfigObj)});
            prompts.replaceAnswers = {ReplaceAnswer::Yes};
        }

        EXPECT_FALSE(InstallPackage(context, "APPS_95.PKG", folder));
        // The held file was queued, but the lines stay unwritten and their
        // temporary file goes.
        EXPECT_TRUE(Lines().empty());
        EXPECT_TRUE(TemporaryFiles(folder).empty());
        EXPECT_FALSE(context.m_bRebootNeeded);
        EXPECT_FALSE(FileExists(windows / "WININIT.INI"));
        EXPECT_EQ(Shown(), cancel ? std::vector<std::string>{}
                                  : std::vector<std::string>{"The package file \"APPS_95.PKG\" is corrupt."});
        EXPECT_EQ(ReadTextFile(unversioned), OLD_CONTENTS);
    }
    holder.Release();
    EXPECT_EQ(ReadTextFile(target), OLD_CONTENTS);
}

// A held target whose path has no short form that fits MAX_PATH: Wine's
// short names of names like "a.abcd" are twice as long as the names, so a
// long path of about 220 characters has a short form of more than 260. Such
// a line cannot be written, so nothing is queued, the temporary file goes,
// the old file stays, the user is told the system's reason and the
// installation stops.
TEST_F(Win9xWriterTest, TargetWithoutAShortPathQueuesNothingAndRemovesTheTemporaryFile)
{
    std::string deep = folder;
    while (deep.size() < 200)
    {
        deep += "\\a.abcd";
        ASSERT_TRUE(::CreateDirectoryA(deep.c_str(), nullptr)) << deep;
    }
    const std::string target = deep + "\\held.dll";
    ASSERT_TRUE(WriteTextFile(target, OLD_CONTENTS));
    ::SetLastError(0);
    ASSERT_EQ(::GetShortPathNameA(target.c_str(), nullptr, 0), 0u)
        << "the short path did not fail: " << target;
    const DWORD reason = ::GetLastError();
    ASSERT_NE(reason, 0u);
    OpenPackage({FileEntry(L"held.dll", NEW_CONTENTS)});
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(target));

    EXPECT_FALSE(Write(0, target));
    holder.Release();

    EXPECT_EQ(Shown(), std::vector<std::string>{BOOT_REPLACE_FAILED + SystemErrorText(reason)});
    EXPECT_TRUE(Lines().empty());
    EXPECT_FALSE(context.m_bRebootNeeded);
    EXPECT_TRUE(TemporaryFiles(deep).empty());
    EXPECT_EQ(ReadTextFile(target), OLD_CONTENTS);
    EXPECT_EQ(ReadPendingRenames(), pendingBefore);
}

// The target's folder vanished between the write and the queuing: its short
// path cannot be had, so nothing is queued and the temporary file goes.
TEST_F(Win9xWriterTest, TargetWhoseFolderVanishedQueuesNothingAndRemovesTheTemporaryFile)
{
    const std::string gone = folder + "\\Gone Away";
    ASSERT_TRUE(::CreateDirectoryA(gone.c_str(), nullptr));
    ASSERT_TRUE(::RemoveDirectoryA(gone.c_str()));
    const std::string target = gone + "\\HeldLibrary.dll";
    const std::string temporary = folder + "\\$tmp0001.tmp";
    ASSERT_TRUE(WriteTextFile(temporary, NEW_CONTENTS));
    ::SetLastError(0);
    ASSERT_EQ(::GetShortPathNameA(target.c_str(), nullptr, 0), 0u);
    const DWORD reason = ::GetLastError();
    ASSERT_NE(reason, 0u);

    EXPECT_FALSE(CFileWriter(context).ScheduleBootReplacement(temporary, target));

    EXPECT_EQ(Shown(), std::vector<std::string>{BOOT_REPLACE_FAILED + SystemErrorText(reason)});
    EXPECT_TRUE(Lines().empty());
    EXPECT_FALSE(context.m_bRebootNeeded);
    EXPECT_FALSE(FileExists(temporary));
    EXPECT_EQ(ReadPendingRenames(), pendingBefore);
}

// WININIT.INI cannot be written after the package: the user is told why,
// the pending lines are dropped with their temporary files, nothing asks for
// a restart and the installation stops.
TEST_F(Win9xWriterTest, WininitThatCannotBeWrittenIsReportedAndStopsTheInstallation)
{
    const std::string target = folder + "\\HeldLibrary.dll";
    ASSERT_TRUE(WriteTextFile(target, OLD_CONTENTS));
    context.m_strWindowsDir = scratch / "No Windows Folder";
    queue = CWininitQueue(context.m_strWindowsDir);
    Package("APPS_95.PKG", {FileEntry(L"HeldLibrary.dll", NEW_CONTENTS)});
    prompts.replaceAnswers = {ReplaceAnswer::Yes};
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(target));

    EXPECT_FALSE(InstallPackage(context, "APPS_95.PKG", folder));
    holder.Release();

    EXPECT_EQ(Shown(), std::vector<std::string>{"Failed to create WININIT.INI system file - " +
                                                SystemErrorText(ERROR_PATH_NOT_FOUND)});
    EXPECT_TRUE(Lines().empty());
    EXPECT_FALSE(context.m_bRebootNeeded);
    EXPECT_TRUE(TemporaryFiles(folder).empty());
    EXPECT_FALSE(FolderExists(context.m_strWindowsDir));
    EXPECT_EQ(ReadTextFile(target), OLD_CONTENTS);
}

// A holder that lets others rename the file (Wine's leave to delete it):
// the target is set aside and the package's copy takes its name at once, with
// no line for WININIT.INI; an undo puts the earlier copy back.
TEST_F(Win9xWriterTest, TargetThatMayBeRenamedIsSetAsideAndPutBackByAnUndo)
{
    OpenPackage({FileEntry(L"HeldLibrary.dll", NEW_CONTENTS)});
    const std::string target = folder + "\\HeldLibrary.dll";
    ASSERT_TRUE(WriteTextFile(target, OLD_CONTENTS));
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(target, CFileHolder::Sharing::Delete));

    EXPECT_TRUE(Write(0, target));
    EXPECT_EQ(ReadTextFile(target), NEW_CONTENTS);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(FilesMatching(folder, "$old*.tmp").size(), 1u);
    holder.Release();
    EXPECT_EQ(context.Rollback(), std::vector<std::string>{});

    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(ReadTextFile(target), OLD_CONTENTS);
    EXPECT_TRUE(FilesMatching(folder, "$old*.tmp").empty());
    EXPECT_TRUE(TemporaryFiles(folder).empty());
}

// The lines of a held file that reached WININIT.INI are taken out of it again
// by an undo, and every other line stays.
TEST_F(Win9xWriterTest, AnUndoTakesTheLinesOfAHeldFileBackOutOfWininit)
{
    const std::string target = folder + "\\HeldLibrary.dll";
    ASSERT_TRUE(WriteTextFile(target, OLD_CONTENTS));
    ASSERT_TRUE(WriteTextFile(windows / "WININIT.INI", "[rename]\r\nNUL=C:\\OTHER.TMP\r\n[later]\r\nx=1\r\n"));
    Package("APPS_95.PKG", {FileEntry(L"HeldLibrary.dll", NEW_CONTENTS)});
    prompts.replaceAnswers = {ReplaceAnswer::Yes};
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(target));
    ASSERT_TRUE(InstallPackage(context, "APPS_95.PKG", folder));
    holder.Release();
    const std::string shortTarget = ShortPath(target);
    ASSERT_FALSE(shortTarget.empty());
    ASSERT_NE(Wininit().find("NUL=" + shortTarget), std::string::npos);

    EXPECT_EQ(context.Rollback(), std::vector<std::string>{});
    EXPECT_EQ(Wininit(), "[rename]\r\nNUL=C:\\OTHER.TMP\r\n[later]\r\nx=1\r\n");
    EXPECT_EQ(ReadTextFile(target), OLD_CONTENTS);
    EXPECT_TRUE(TemporaryFiles(folder).empty());
}

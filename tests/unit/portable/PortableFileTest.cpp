// The Win32 file calls the package code relies on, with the results and
// error numbers it expects. Natively this checks our POSIX layer; under
// Wine the same tests hold the real API to the same expectations.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "portable/ErrorText.h"
#include "../ProcessTag.h"
#include "portable/ScopedFile.h"
#include "portable/Win32Api.h"

namespace
{
class ScratchFolder
{
public:
    ScratchFolder()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path() /
                 (std::string("lumportable-") + info->test_suite_name() + "-" + info->name() + "-" +
                  lumtest::ProcessTag());
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::string Path(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
} // namespace

TEST(PortableCreateFile, ReportsMissingFilesFoldersAndExistingFilesByTheirWin32Numbers)
{
    ScratchFolder dir;
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(dir.Path("missing"), GENERIC_READ, 0, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(dir.Path("nofolder/missing"), GENERIC_READ, 0, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

    CScopedFile created(Open(dir.Path("f"), GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(created.valid());
    created.reset();
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(dir.Path("f"), GENERIC_WRITE, 0, CREATE_NEW));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());

    CScopedFile again(Open(dir.Path("f"), GENERIC_WRITE, 0, CREATE_ALWAYS));
    EXPECT_TRUE(again.valid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());

    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(dir.Path(""), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING))
        << "a folder is not opened as a file";
}

TEST(PortableCreateFile, SharingModesHoldWritersAndReadersApart)
{
    ScratchFolder dir;
    const std::string path = dir.Path("shared");
    CScopedFile writer(Open(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(writer.valid());
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    writer.reset();

    CScopedFile reader1(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    CScopedFile reader2(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_TRUE(reader1.valid() && reader2.valid());
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
}

TEST(PortableReadWrite, ReadsStopAtTheEndAndSeeksAreFromTheStart)
{
    ScratchFolder dir;
    CScopedFile file(Open(dir.Path("rw"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(file.valid());
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(file.get(), "0123456789", 10, &n, nullptr));
    EXPECT_EQ(10u, n);
    EXPECT_EQ(10u, GetFileSize(file.get(), nullptr));

    EXPECT_EQ(4u, SetFilePointer(file.get(), 4, nullptr, FILE_BEGIN));
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(file.get(), buffer, 16, &n, nullptr));
    EXPECT_EQ(6u, n);
    EXPECT_EQ(std::string("456789"), std::string(buffer, 6));
    ASSERT_TRUE(ReadFile(file.get(), buffer, 16, &n, nullptr));
    EXPECT_EQ(0u, n) << "at the end a read succeeds with no bytes";

    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file.get(), -1, nullptr, FILE_BEGIN));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NEGATIVE_SEEK), GetLastError());
    EXPECT_EQ(100u, SetFilePointer(file.get(), 100, nullptr, FILE_BEGIN)) << "past the end is allowed";
    EXPECT_EQ(10u, GetFileSize(file.get(), nullptr));

    EXPECT_EQ(3u, SetFilePointer(file.get(), 3, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.get()));
    EXPECT_EQ(3u, GetFileSize(file.get(), nullptr));
    EXPECT_TRUE(FlushFileBuffers(file.get()));

    CScopedFile readOnly(Open(dir.Path("ro"), GENERIC_READ, FILE_SHARE_READ, CREATE_NEW));
    EXPECT_FALSE(WriteFile(readOnly.get(), "x", 1, &n, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST(PortableFileTimes, LastWriteTimesGoInAndComeBack)
{
    ScratchFolder dir;
    CScopedFile file(Open(dir.Path("t"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(file.valid());
    // 2001-02-03 04:05:06.7 UTC.
    const ULONGLONG ticks = 126256347067000000ULL;
    const FILETIME when{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    ASSERT_TRUE(SetFileTime(file.get(), &when, nullptr, &when));
    FILETIME created{}, written{};
    ASSERT_TRUE(GetFileTime(file.get(), &created, nullptr, &written));
    EXPECT_EQ(when.dwLowDateTime, written.dwLowDateTime);
    EXPECT_EQ(when.dwHighDateTime, written.dwHighDateTime);
    EXPECT_NE(0u, created.dwHighDateTime);
}

TEST(PortableFolders, DeleteCreateAndMoveReportWin32Errors)
{
    ScratchFolder dir;
    EXPECT_FALSE(DeleteFileA(dir.Path("missing").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    ASSERT_TRUE(CreateDirectoryA(dir.Path("sub").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(dir.Path("sub").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_FALSE(CreateDirectoryA(dir.Path("none/sub").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

    CScopedFile(Open(dir.Path("a"), GENERIC_WRITE, 0, CREATE_NEW)).reset();
    CScopedFile(Open(dir.Path("b"), GENERIC_WRITE, 0, CREATE_NEW)).reset();
    EXPECT_FALSE(MoveFileExA(dir.Path("a").c_str(), dir.Path("b").c_str(), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_TRUE(MoveFileExA(dir.Path("a").c_str(), dir.Path("b").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(DeleteFileA(dir.Path("b").c_str()));
}

TEST(PortableErrorText, GivesTheSystemsTextForAnErrorNumber)
{
#ifdef _WIN32
    // The system's own wording (Wine words some texts differently from
    // Windows), without its closing line break.
    for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_FILE_CORRUPT})
    {
        char buffer[512];
        std::string expected(buffer, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                                    nullptr, code, 0, buffer, sizeof buffer, nullptr));
        while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r' || expected.back() == ' '))
            expected.pop_back();
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(expected, GetErrorText(code));
    }
#else
    EXPECT_EQ("The system cannot find the file specified.", GetErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ("Access is denied.", GetErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ("The file or directory is corrupted and unreadable.", GetErrorText(ERROR_FILE_CORRUPT));
#endif
    SetLastError(ERROR_DISK_FULL);
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
    EXPECT_FALSE(GetErrorText(0xABCDEF).empty());
}

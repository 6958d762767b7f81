// The entry-name rules shared by the setup and the packaging tool.
#include <gtest/gtest.h>

#include <string>

#include "package/EntryName.h"

namespace
{
std::basic_string<WCHAR> N(const std::string& ascii) { return std::basic_string<WCHAR>(ascii.begin(), ascii.end()); }
} // namespace

TEST(EntryName, EachUnsafeNameIsRefusedForItsReason)
{
    const struct
    {
        const char* name;
        EntryNameProblem problem;
    } cases[] = {
        {"", EntryNameProblem::Empty},
        {"\\abs", EntryNameProblem::Absolute},
        {"/abs", EntryNameProblem::Absolute},
        {"a\\\\b", EntryNameProblem::EmptyComponent},
        {"a/", EntryNameProblem::EmptyComponent},
        {"C:x", EntryNameProblem::Colon},
        {"a\\b:stream", EntryNameProblem::Colon},
        {"tab\there", EntryNameProblem::ControlCharacter},
        {"a/../b", EntryNameProblem::DotsOnly},
        {". .\\b", EntryNameProblem::DotsOnly},
        {"CON", EntryNameProblem::DeviceName},
        {"sub\\nul.txt", EntryNameProblem::DeviceName},
        {"aux .tar.gz", EntryNameProblem::DeviceName},
        {"Com1", EntryNameProblem::DeviceName},
        {"lpt9.dll/x", EntryNameProblem::DeviceName},
        {"conout$", EntryNameProblem::DeviceName},
        {"a.txt.", EntryNameProblem::TrailingDotOrSpace},
        {"a.txt ", EntryNameProblem::TrailingDotOrSpace},
        {"a.txt. . ", EntryNameProblem::TrailingDotOrSpace},
        {"sub.\\ReaderRes.dll", EntryNameProblem::TrailingDotOrSpace},
        {"del\\x\x7f", EntryNameProblem::ControlCharacter},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckEntryName(N(c.name).c_str()), c.problem) << "name: " << c.name;

    const std::basic_string<WCHAR> superscript = {'C', 'O', 'M', 0xB9, '.', 'x'};
    EXPECT_EQ(CheckEntryName(superscript.c_str()), EntryNameProblem::DeviceName);
    // C1 controls, such as a terminal's control sequence introducer U+009B.
    for (const WCHAR control : {WCHAR(0x80), WCHAR(0x9B), WCHAR(0x9F)})
    {
        const std::basic_string<WCHAR> name = {'a', control, 'b'};
        EXPECT_EQ(CheckEntryName(name.c_str()), EntryNameProblem::ControlCharacter) << unsigned(control);
    }
    const std::basic_string<WCHAR> nbsp = {'a', 0xA0, 'b'};
    EXPECT_EQ(CheckEntryName(nbsp.c_str()), EntryNameProblem::None);
}

TEST(EntryName, NamesThatOnlyLookLikeDevicesOrDotsAreOrdinary)
{
    for (const char* name : {"a.dll", "sub/deeper\\a.dll", "..hidden", "v1.2\\a..b", "CONSOLE.txt", "COM0", "LPT10",
                             "xNUL", "nul_x", "com1x.dll", " leading.txt", "a. b"})
        EXPECT_EQ(CheckEntryName(N(name).c_str()), EntryNameProblem::None) << "name: " << name;
}

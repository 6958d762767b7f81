// The "Replace File" question: its template, its four buttons with their
// results and flags, and the real modal question behind the prompts seam.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "app/WindowPrompts.h"
#include "resources/resource.h"
#include "ui/DlgReplaceFile.h"

namespace
{
std::string WindowText(HWND window)
{
    char text[512];
    return std::string(text, ::GetWindowTextA(window, text, sizeof text));
}

struct ButtonCase
{
    const char* name;
    void (*press)(DLG_ReplaceFile&);
    INT_PTR result;
    BOOL yesToAll;
    BOOL no;
    ReplaceAnswer answer;
};
} // namespace

TEST(ReplaceFileDialog, ShowsTheCallersQuestionUnderItsCaptionWithFourButtons)
{
    DLG_ReplaceFile dialog;
    dialog.m_strQuestion = "Do you wish to replace the file \"C:\\R&D\\a.dll\"\nsecond line";
    ASSERT_TRUE(dialog.Create(nullptr));
    const HWND window = dialog.GetSafeHwnd();
    EXPECT_EQ(WindowText(window), "Replace File");
    EXPECT_EQ(dialog.GetItemText(IDC_REPLACE_QUESTION), dialog.m_strQuestion);
    // The path's ampersand is shown, not taken as a mnemonic.
    EXPECT_TRUE(::GetWindowLongA(dialog.GetItem(IDC_REPLACE_QUESTION), GWL_STYLE) & SS_NOPREFIX);

    EXPECT_EQ(WindowText(dialog.GetItem(IDC_REPLACE_YES_TO_ALL)), "Yes To All");
    EXPECT_EQ(WindowText(dialog.GetItem(IDOK)), "Yes");
    EXPECT_EQ(WindowText(dialog.GetItem(IDC_REPLACE_NO)), "No");
    EXPECT_EQ(WindowText(dialog.GetItem(IDCANCEL)), "Cancel");
    EXPECT_EQ(LOWORD(::SendMessageA(window, DM_GETDEFID, 0, 0)), IDOK);

    const LONG style = ::GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU);
    EXPECT_TRUE(style & DS_MODALFRAME);
    EXPECT_EQ(dialog.GetResult(), -1);
}

TEST(ReplaceFileDialog, EachButtonGivesItsResultAndFlagsOnAFreshDialog)
{
    const ButtonCase cases[] = {
        {"Yes", [](DLG_ReplaceFile& d) { d.OnOK(); }, IDOK, FALSE, FALSE, ReplaceAnswer::Yes},
        {"Yes To All", [](DLG_ReplaceFile& d) { d.OnCommand(IDC_REPLACE_YES_TO_ALL, BN_CLICKED); }, IDOK, TRUE,
         FALSE, ReplaceAnswer::YesToAll},
        {"No", [](DLG_ReplaceFile& d) { d.OnCommand(IDC_REPLACE_NO, BN_CLICKED); }, IDCANCEL, FALSE, TRUE,
         ReplaceAnswer::No},
        {"Cancel", [](DLG_ReplaceFile& d) { d.OnCancel(); }, IDCANCEL, FALSE, FALSE, ReplaceAnswer::Cancel},
        // Esc reaches the dialog as the Cancel command.
        {"Esc",
         [](DLG_ReplaceFile& d) { ::SendMessageA(d.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0); },
         IDCANCEL, FALSE, FALSE, ReplaceAnswer::Cancel},
        // A real click on the button goes through the dialog procedure.
        {"click on No",
         [](DLG_ReplaceFile& d) { ::SendMessageA(d.GetItem(IDC_REPLACE_NO), BM_CLICK, 0, 0); }, IDCANCEL, FALSE,
         TRUE, ReplaceAnswer::No},
    };
    for (const ButtonCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        DLG_ReplaceFile dialog;
        dialog.m_strQuestion = "question";
        ASSERT_TRUE(dialog.Create(nullptr));
        const HWND window = dialog.GetSafeHwnd();
        c.press(dialog);
        EXPECT_FALSE(::IsWindow(window)) << "the button ends the dialog";
        EXPECT_EQ(dialog.GetResult(), c.result);
        EXPECT_EQ(dialog.m_bYesToAll, c.yesToAll);
        EXPECT_EQ(dialog.m_bNo, c.no);
        EXPECT_EQ(dialog.Answer(), c.answer);
    }
}

TEST(ReplaceFileDialog, ResultsAndFlagsMapToTheFourAnswers)
{
    EXPECT_EQ(DLG_ReplaceFile::AnswerFor(IDOK, FALSE, FALSE), ReplaceAnswer::Yes);
    EXPECT_EQ(DLG_ReplaceFile::AnswerFor(IDOK, TRUE, FALSE), ReplaceAnswer::YesToAll);
    EXPECT_EQ(DLG_ReplaceFile::AnswerFor(IDCANCEL, FALSE, TRUE), ReplaceAnswer::No);
    EXPECT_EQ(DLG_ReplaceFile::AnswerFor(IDCANCEL, FALSE, FALSE), ReplaceAnswer::Cancel);
    // A question that could not be shown gives no consent to go on.
    EXPECT_EQ(DLG_ReplaceFile::AnswerFor(-1, FALSE, FALSE), ReplaceAnswer::Cancel);
}

TEST(ReplaceFileDialog, TheRealPromptShowsTheQuestionModallyAndReportsTheButton)
{
    // Another thread answers the modal question the way a user would: it
    // waits for the window, reads the question and presses "Yes To All".
    std::atomic<bool> stop{false};
    std::string seenQuestion;
    std::thread user([&] {
        for (int i = 0; i < 500 && !stop; ++i)
        {
            const HWND window = ::FindWindowA(nullptr, "Replace File");
            if (window && ::IsWindowVisible(window) && ::GetDlgItem(window, IDC_REPLACE_YES_TO_ALL))
            {
                seenQuestion = WindowText(::GetDlgItem(window, IDC_REPLACE_QUESTION));
                ::PostMessageA(::GetDlgItem(window, IDC_REPLACE_YES_TO_ALL), BM_CLICK, 0, 0);
                return;
            }
            ::Sleep(10);
        }
    });
    CWindowPrompts prompts;
    const ReplaceAnswer answer = prompts.AskReplaceFile("Replace \"C:\\x.dll\"?");
    stop = true;
    user.join();
    EXPECT_EQ(seenQuestion, "Replace \"C:\\x.dll\"?");
    EXPECT_EQ(answer, ReplaceAnswer::YesToAll);
}

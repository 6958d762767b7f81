#include "app/Messages.h"

#include "app/SetupApp.h"
#include "framework/MessageFormat.h"
#include "framework/ResourceStrings.h"
#include "ui/DlgReplaceFile.h"

namespace
{
bool IsAnsiLeadByte(unsigned char c) { return ::IsDBCSLeadByte(c) != FALSE; }
} // namespace

std::string GetLastErrorText()
{
    const DWORD code = ::GetLastError();
    // The system's texts carry no inserts of their own for most codes; for
    // those that do, the system refuses to format without arguments and the
    // text stays empty, which the callers treat like any empty reason.
    std::vector<char> buffer(4096);
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buffer.data(),
                                          static_cast<DWORD>(buffer.size()), nullptr);
    return std::string(buffer.data(), length);
}

std::string FormatResMessage(UINT templateId, const std::vector<const char*>& args)
{
    return FormatMessageTemplate(LoadResString(templateId), args, &IsAnsiLeadByte);
}

UINT MessageBoxTypeWithIcon(UINT type)
{
    const UINT buttons = type & MB_TYPEMASK;
    const bool namesIcon = (type & MB_ICONMASK) != 0;
    const bool takesDefaultIcon =
        buttons == MB_OK || buttons == MB_OKCANCEL || buttons == MB_YESNO || buttons == MB_YESNOCANCEL;
    return (!namesIcon && takesDefaultIcon) ? (type | MB_ICONEXCLAMATION) : type;
}

int CWindowPrompts::ShowMessageBox(const std::string& text, unsigned type)
{
    CWinAppBase* app = CWinAppBase::Current();
    HWND owner = app ? app->MainWindow() : nullptr;
    if (!owner)
        owner = ::GetActiveWindow();
    const std::string caption = app ? app->Title() : std::string("Setup");
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), MessageBoxTypeWithIcon(type));
}

ReplaceAnswer CWindowPrompts::AskReplaceFile(const std::string& question)
{
    // Constructed for this one question, so no flag of an earlier answer
    // carries over. The owner is the application's main window (the progress
    // window) while one exists, as for the message boxes.
    DLG_ReplaceFile dialog;
    dialog.m_strQuestion = question;
    CWinAppBase* app = CWinAppBase::Current();
    const INT_PTR result = dialog.DoModal(app ? app->MainWindow() : nullptr);
    return DLG_ReplaceFile::AnswerFor(result, dialog.m_bYesToAll, dialog.m_bNo);
}

int CSetupVantrelApp::ShowMessage(const std::string& text, UINT type) { return UserPrompts().ShowMessageBox(text, type); }

int CSetupVantrelApp::ShowMessage(UINT stringId, UINT type) { return ShowMessage(LoadResString(stringId), type); }

#include "app/WindowPrompts.h"

#include "framework/SystemCalls.h"
#include "framework/WinApp.h"
#include "ui/DlgReplaceFile.h"

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
    return MessageBoxU(owner, text, caption, MessageBoxTypeWithIcon(type));
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

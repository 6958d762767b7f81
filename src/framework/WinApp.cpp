#include "framework/WinApp.h"

#include "framework/ResourceStrings.h"

namespace
{
CWinAppBase* g_pCurrentApp = nullptr;
}

CWinAppBase::CWinAppBase() : m_pPrevious(g_pCurrentApp)
{
    // The newest object is the current one; a test may construct its own
    // application object beside the program's static one.
    g_pCurrentApp = this;
}

CWinAppBase::~CWinAppBase()
{
    if (g_pCurrentApp == this)
        g_pCurrentApp = m_pPrevious;
}

CWinAppBase* CWinAppBase::Current() { return g_pCurrentApp; }

HINSTANCE CWinAppBase::ResourceInstance() { return ::GetModuleHandleA(nullptr); }

std::string CWinAppBase::Title() const
{
    std::string title = LoadResString(IDS_APP_TITLE);
    return title.empty() ? std::string("Setup") : title;
}

int CWinAppBase::Run()
{
    InitInstance();
    return ExitCode();
}

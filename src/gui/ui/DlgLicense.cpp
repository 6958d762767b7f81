#include "ui/DlgLicense.h"

#include "framework/WinApp.h"
#include "resources/resource.h"

namespace
{
constexpr char AGREEMENT_RESOURCE[] = "LICENSE";
constexpr char AGREEMENT_MISSING[] = "Error: Cannot load license agreement";
} // namespace

DLG_Main::DLG_Main(CSetupContext& context)
    : CConfirmedCancelDialog(IDD_LICENSE, context), m_hAgreementModule(CWinAppBase::ResourceInstance()),
      m_hIcon(::LoadIconA(CWinAppBase::ResourceInstance(), MAKEINTRESOURCEA(IDI_SETUP)))
{
}

std::string DLG_Main::AgreementText(const char* data, size_t size)
{
    size_t end = 0;
    while (end < size && !(data[end] == '!' && end + 1 < size && data[end + 1] == '!'))
        ++end;
    std::string text;
    text.reserve(end);
    for (size_t i = 0; i < end; ++i)
    {
        if (data[i] == '\n' && (i == 0 || data[i - 1] != '\r'))
            text += '\r';
        text += data[i];
    }
    return text;
}

bool DLG_Main::LoadAgreement(HMODULE module, std::string& text)
{
    const HRSRC found = ::FindResourceA(module, AGREEMENT_RESOURCE, AGREEMENT_RESOURCE);
    if (!found)
        return false;
    const HGLOBAL loaded = ::LoadResource(module, found);
    if (!loaded)
        return false;
    const auto* data = static_cast<const char*>(::LockResource(loaded));
    if (!data)
        return false;
    text = AgreementText(data, ::SizeofResource(module, found));
    return true;
}

void DLG_Main::DoDataExchange(CDataExchange& dx)
{
    DDX_Check(dx, IDC_LICENSE_ACCEPT, m_bAccepted);
}

BOOL DLG_Main::OnInitDialog()
{
    CConfirmedCancelDialog::OnInitDialog();
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    std::string agreement;
    SetItemText(IDC_LICENSE_TEXT,
                LoadAgreement(m_hAgreementModule, agreement) ? agreement : AGREEMENT_MISSING);
    EnableInstall();
    // The dialog manager would focus the agreement with all its text
    // selected, which scrolls it to its end: it starts at its first line.
    ::SetFocus(GetItem(IDC_LICENSE_TEXT));
    ::SendMessageA(GetItem(IDC_LICENSE_TEXT), EM_SETSEL, 0, 0);
    return FALSE;
}

void DLG_Main::EnableInstall()
{
    EnableItem(IDC_LICENSE_INSTALL, m_bAccepted != FALSE);
}

bool DLG_Main::OnCommand(int controlId, int notifyCode)
{
    if (notifyCode != BN_CLICKED)
        return false;
    if (controlId == IDC_LICENSE_ACCEPT)
    {
        UpdateData(true);
        EnableInstall();
        return true;
    }
    if (controlId == IDC_LICENSE_INSTALL)
    {
        OnOK();
        return true;
    }
    return false;
}

void DLG_Main::OnOK()
{
    UpdateData(true);
    // Also a click posted to the disabled button by another program.
    if (m_bAccepted)
        EndDialog(IDOK);
}

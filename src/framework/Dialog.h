#pragma once
#include <windows.h>

#include <string>

// Transfers values between a dialog's members and its controls:
// save = true reads the controls into the members, false shows the members.
class CDataExchange
{
public:
    CDataExchange(HWND dialog, bool save) : m_hDialog(dialog), m_bSaveAndValidate(save) {}
    HWND m_hDialog;
    bool m_bSaveAndValidate;
};

void DDX_Text(CDataExchange& dx, int controlId, std::string& value);
void DDX_Check(CDataExchange& dx, int controlId, int& value);

// A dialog built from a resource template, modal (DoModal) or modeless
// (Create). A static procedure stores `this` at WM_INITDIALOG and forwards to
// the virtuals below; no exception leaves it. State and decisions live in
// members a test can reach; a test may create a dialog modeless, call its
// handlers and read the controls back.
class CDialogBase
{
public:
    explicit CDialogBase(UINT templateId) : m_nTemplateId(templateId) {}
    virtual ~CDialogBase();
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Shows the dialog modally; returns the value passed to EndDialog, or -1
    // when the window could not be created.
    INT_PTR DoModal(HWND parent = nullptr);
    // Creates the dialog as a modeless window; false when that fails.
    bool Create(HWND parent = nullptr);
    void DestroyWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetItem(int controlId) const { return ::GetDlgItem(m_hWnd, controlId); }
    std::string GetItemText(int controlId) const;
    void SetItemText(int controlId, const std::string& text);
    void EnableItem(int controlId, bool enable);
    void ShowItem(int controlId, bool show);

    // Runs DoDataExchange; false when a value did not validate.
    bool UpdateData(bool saveAndValidate = true);
    // Ends the dialog with a result: a modal one returns it from DoModal, a
    // modeless one is destroyed. Either way GetResult gives it afterwards.
    void EndDialog(INT_PTR result);
    // The result the dialog last ended with; -1 before it has ended.
    INT_PTR GetResult() const { return m_nResult; }

    // Handlers, public so that a test can drive a dialog as a click would.
    virtual BOOL OnInitDialog();
    // A control's command; return true when handled.
    virtual bool OnCommand(int controlId, int notifyCode);
    // IDOK and IDCANCEL: the defaults save the data and end the dialog.
    virtual void OnOK();
    virtual void OnCancel();

protected:
    virtual void DoDataExchange(CDataExchange&) {}
    // Any other message; set handled to give the result.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    UINT m_nTemplateId;
    bool m_bModal = false;
    INT_PTR m_nResult = -1;
};

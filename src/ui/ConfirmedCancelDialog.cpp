#include "ui/ConfirmedCancelDialog.h"

#include "app/SetupApp.h"
#include "resources/resource.h"

void CConfirmedCancelDialog::OnCancel()
{
    if (m_app.ShowMessage(IDS_CONFIRM_CANCEL, MB_YESNO | MB_ICONQUESTION) == IDYES)
        EndDialog(IDCANCEL);
}

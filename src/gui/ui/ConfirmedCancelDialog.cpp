#include "ui/ConfirmedCancelDialog.h"

#include "core/SetupContext.h"
#include "resources/resource.h"

void CConfirmedCancelDialog::OnCancel()
{
    if (m_context.ShowMessage(IDS_CONFIRM_CANCEL, MB_YESNO | MB_ICONQUESTION) == IDYES)
        EndDialog(IDCANCEL);
}

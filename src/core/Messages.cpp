#include "core/Messages.h"

#include "framework/MessageFormat.h"
#include "framework/ResourceStrings.h"
#include "portable/ErrorText.h"

std::string GetLastErrorText()
{
    // The system's texts carry no inserts of their own for most codes; for
    // those that do, the system's text is taken as it stands.
    return SystemMessageText(::GetLastError());
}

std::string FormatResMessage(UINT templateId, const std::vector<const char*>& args)
{
    // The templates are UTF-8, where no byte of a character beyond ASCII is
    // a '%': no lead bytes to step over.
    return FormatMessageTemplate(LoadResString(templateId), args);
}

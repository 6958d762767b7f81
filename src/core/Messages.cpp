#include "core/Messages.h"

#include "framework/MessageFormat.h"
#include "framework/ResourceStrings.h"

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

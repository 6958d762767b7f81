#include "framework/MessageFormat.h"

namespace
{
// The argument number a placeholder character stands for, or -1.
int PlaceholderIndex(char c)
{
    if (c >= '1' && c <= '9')
        return c - '1';
    if (c >= 'A' && c <= 'Z')
        return 9 + (c - 'A');
    return -1;
}
} // namespace

std::string FormatMessageTemplate(const std::string& templ, const std::vector<const char*>& args,
                                  bool (*isLeadByte)(unsigned char))
{
    std::string result;
    result.reserve(templ.size());
    for (size_t i = 0; i < templ.size(); ++i)
    {
        const char c = templ[i];
        if (isLeadByte && isLeadByte(static_cast<unsigned char>(c)) && i + 1 < templ.size())
        {
            result += c;
            result += templ[++i];
            continue;
        }
        const int index = (c == '%' && i + 1 < templ.size()) ? PlaceholderIndex(templ[i + 1]) : -1;
        if (index < 0)
        {
            result += c;
            continue;
        }
        ++i;
        if (static_cast<size_t>(index) >= args.size())
            result += '?';
        else if (args[index])
            result += args[index];
    }
    return result;
}

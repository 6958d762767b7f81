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

namespace
{
// whole / unit in steps of 1/scale, rounded as asked: the digits to show.
std::uint64_t ScaledQuotient(std::uint64_t bytes, std::uint64_t unit, unsigned scale, SizeRounding rounding)
{
    const std::uint64_t whole = bytes / unit;
    // remainder < unit <= 2^60, so remainder * scale (at most 10) fits.
    const std::uint64_t remainder = (bytes % unit) * scale;
    const bool rest = remainder % unit != 0;
    return whole * scale + remainder / unit + (rounding == SizeRounding::Up && rest ? 1 : 0);
}
} // namespace

std::string FormatByteSize(std::uint64_t bytes, SizeRounding rounding)
{
    if (bytes < 1000)
        return std::to_string(bytes) + " bytes";
    static const char* const UNITS[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    constexpr size_t UNIT_COUNT = sizeof UNITS / sizeof UNITS[0];
    std::uint64_t unit = 1024;
    for (size_t u = 0;; ++u, unit *= 1024)
    {
        const std::uint64_t tenths = ScaledQuotient(bytes, unit, 10, rounding);
        if (tenths < 1000)
            return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + UNITS[u];
        const std::uint64_t units = ScaledQuotient(bytes, unit, 1, rounding);
        if (units < 1000 || u + 1 == UNIT_COUNT)
            return std::to_string(units) + " " + UNITS[u];
    }
}

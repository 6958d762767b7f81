#include "EntryNames.h"

bool EntryNameToRelativePath(const WCHAR* name, std::string& relative, std::string& reason)
{
    relative.clear();
    const PackageName full(name);
    if (full.empty())
    {
        reason = "the entry has no name";
        return false;
    }
    if (full[0] == '\\' || full[0] == '/')
    {
        reason = "the name is an absolute path";
        return false;
    }
    size_t start = 0;
    for (;;)
    {
        size_t end = start;
        while (end < full.size() && full[end] != '\\' && full[end] != '/')
            ++end;
        const PackageName part = full.substr(start, end - start);
        if (part.empty())
        {
            reason = "the name has an empty path component";
            return false;
        }
        bool onlyDots = true;
        for (const WCHAR c : part)
        {
            if (c == ':')
            {
                reason = "the name holds a drive or a colon";
                return false;
            }
            if (c < 0x20 || c == 0x7F)
            {
                reason = "the name holds a control character";
                return false;
            }
            onlyDots = onlyDots && (c == '.' || c == ' ');
        }
        if (onlyDots)
        {
            reason = "the name holds a '.' or '..' component";
            return false;
        }
        std::string converted;
        if (!Utf16ToSystem(part, converted))
        {
            reason = "the name has characters this system cannot write";
            return false;
        }
        relative += converted;
        if (end == full.size())
            return true;
        relative += kNativeSeparator;
        start = end + 1;
    }
}

bool RelativePathToEntryName(const std::string& relative, PackageName& name)
{
    if (!SystemToUtf16(relative, name))
        return false;
    for (WCHAR& c : name)
        if (c == '/' || c == '\\')
            c = '\\';
    return true;
}

std::string DisplayName(const WCHAR* name)
{
    std::string text;
    for (const WCHAR* p = name; *p != 0; ++p)
    {
        std::string one;
        PackageName unit(1, *p);
        // Keep surrogate pairs together.
        if ((*p & 0xFC00) == 0xD800 && (p[1] & 0xFC00) == 0xDC00)
            unit += *++p;
        if (*p >= 0x20 && Utf16ToSystem(unit, one))
            text += one;
        else
            text += '?';
    }
    return text;
}

#include "EntryNames.h"

#include "package/EntryName.h"
#include "portable/Utf8.h"

bool EntryNameToRelativePath(const WCHAR* name, std::string& relative, std::string& reason)
{
    relative.clear();
    const EntryNameProblem problem = CheckEntryName(name);
    if (problem != EntryNameProblem::None)
    {
        reason = DescribeEntryNameProblem(problem);
        return false;
    }
    const PackageName full(name);
    size_t start = 0;
    for (;;)
    {
        size_t end = start;
        while (end < full.size() && !IsEntryNameSeparator(full[end]))
            ++end;
        std::string converted;
        if (!Utf16ToUtf8(full.substr(start, end - start), converted))
        {
            reason = "the name is no text (a lone UTF-16 surrogate)";
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
    if (!Utf8ToUtf16(relative, name))
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
        if (!IsControlCharacter(*p) && Utf16ToUtf8(unit, one))
            text += one;
        else
            text += '?';
    }
    return text;
}

#include "package/EntryName.h"

#include <initializer_list>

namespace
{
WCHAR Upper(WCHAR c) { return c >= 'a' && c <= 'z' ? WCHAR(c - 'a' + 'A') : c; }

bool SameLetters(const WCHAR* begin, const WCHAR* end, const char* ascii)
{
    for (; begin != end && *ascii; ++begin, ++ascii)
        if (Upper(*begin) != WCHAR(*ascii))
            return false;
    return begin == end && !*ascii;
}

bool IsDeviceDigit(WCHAR c) { return (c >= '1' && c <= '9') || c == 0xB9 || c == 0xB2 || c == 0xB3; }

// Windows opens a device for these names whatever extension follows them,
// and whatever spaces end the name before it.
bool IsDeviceName(const WCHAR* begin, const WCHAR* end)
{
    const WCHAR* stem = begin;
    while (stem != end && *stem != '.')
        ++stem;
    while (stem != begin && stem[-1] == ' ')
        --stem;
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (SameLetters(begin, stem, device))
            return true;
    return stem - begin == 4 && (SameLetters(begin, begin + 3, "COM") || SameLetters(begin, begin + 3, "LPT")) &&
           IsDeviceDigit(begin[3]);
}

EntryNameProblem CheckComponent(const WCHAR* begin, const WCHAR* end)
{
    if (begin == end)
        return EntryNameProblem::EmptyComponent;
    bool dotsOnly = true;
    for (const WCHAR* c = begin; c != end; ++c)
    {
        if (*c == ':')
            return EntryNameProblem::Colon;
        if (IsControlCharacter(*c))
            return EntryNameProblem::ControlCharacter;
        dotsOnly = dotsOnly && (*c == '.' || *c == ' ');
    }
    if (dotsOnly)
        return EntryNameProblem::DotsOnly;
    if (end[-1] == '.' || end[-1] == ' ')
        return EntryNameProblem::TrailingDotOrSpace;
    if (IsDeviceName(begin, end))
        return EntryNameProblem::DeviceName;
    return EntryNameProblem::None;
}
} // namespace

EntryNameProblem CheckEntryName(const WCHAR* name)
{
    if (!name || !*name)
        return EntryNameProblem::Empty;
    if (IsEntryNameSeparator(*name))
        return EntryNameProblem::Absolute;
    const WCHAR* component = name;
    for (;;)
    {
        const WCHAR* end = component;
        while (*end && !IsEntryNameSeparator(*end))
            ++end;
        const EntryNameProblem problem = CheckComponent(component, end);
        if (problem != EntryNameProblem::None || !*end)
            return problem;
        component = end + 1;
    }
}

const char* DescribeEntryNameProblem(EntryNameProblem problem)
{
    switch (problem)
    {
    case EntryNameProblem::None: return "the name is safe";
    case EntryNameProblem::Empty: return "the entry has no name";
    case EntryNameProblem::Absolute: return "the name is an absolute path";
    case EntryNameProblem::EmptyComponent: return "the name has an empty path component";
    case EntryNameProblem::Colon: return "the name holds a drive or a colon";
    case EntryNameProblem::ControlCharacter: return "the name holds a control character";
    case EntryNameProblem::DotsOnly: return "the name holds a '.' or '..' component";
    case EntryNameProblem::TrailingDotOrSpace: return "a component of the name ends in a dot or a space";
    case EntryNameProblem::DeviceName: return "the name holds a device name";
    }
    return "the name is refused";
}

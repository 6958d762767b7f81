#pragma once
// The rules an entry name must keep before it becomes a path below the
// folder a package is installed or extracted into. One set of rules for the
// setup and for the packaging tool.
#include "portable/Win32Api.h"

enum class EntryNameProblem
{
    None,
    Empty,            // no name at all
    Absolute,         // begins with a separator
    EmptyComponent,   // a doubled or trailing separator
    Colon,            // a drive, or a stream of another file
    ControlCharacter, // below U+0020, U+007F, or U+0080 to U+009F
    DotsOnly,         // "..", ".", or what Windows trims to them ("...", ". .")
    TrailingDotOrSpace, // "a.txt." or "a.txt ": Windows trims them, other programs cannot open them
    DeviceName,       // CON, PRN, AUX, NUL, COM1-9, LPT1-9 (also with an extension)
};

// The C0 and C1 control characters and DEL: none belongs in a file name, and
// a terminal acts on them when they are printed.
inline bool IsControlCharacter(unsigned c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// '\' and '/' both separate the components of an entry name.
inline bool IsEntryNameSeparator(WCHAR c) { return c == '\\' || c == '/'; }

// What makes a name unsafe, or None: the name is a relative path whose
// components are all real file names. Checked on the UTF-16 name, before any
// conversion, so that no trail byte of a double-byte character is mistaken
// for a separator.
EntryNameProblem CheckEntryName(const WCHAR* name);

// The reason in words, for messages.
const char* DescribeEntryNameProblem(EntryNameProblem problem);

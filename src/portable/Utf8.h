#pragma once
// Text inside the programs is UTF-8 in std::string; the system and the
// package format speak UTF-16. These are the one pair of conversions between
// them. The strict ones refuse what has no exact counterpart (malformed
// UTF-8, a lone surrogate) with ERROR_NO_UNICODE_TRANSLATION, so that no name
// changes on its way; the lossy one is for texts that are only shown.
#include <string>

#include "portable/Win32Api.h"

typedef std::basic_string<WCHAR> Utf16String;

bool Utf8ToUtf16(const std::string& text, Utf16String& out);
bool Utf16ToUtf8(const WCHAR* text, size_t length, std::string& out);
inline bool Utf16ToUtf8(const Utf16String& text, std::string& out)
{
    return Utf16ToUtf8(text.data(), text.size(), out);
}
// As Utf16ToUtf8, with U+FFFD for each lone surrogate: for messages and logs.
std::string Utf16ToUtf8Lossy(const WCHAR* text, size_t length);
// The number of UTF-16 units the UTF-8 text becomes: what the system's
// length limits (MAX_PATH) count.
size_t Utf16LengthOf(const std::string& text);

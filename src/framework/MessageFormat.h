#pragma once
#include <string>
#include <vector>

// Fills a message template: %1 to %9 stand for the first to ninth argument,
// %A to %Z for the tenth to thirty-fifth. A placeholder may repeat and come in
// any order. A missing argument shows as "?", a null one as nothing; a percent
// sign followed by anything else is copied as it stands. isLeadByte tells
// which bytes start a double-byte character of the code page: such a
// character is copied whole, so its trail byte is never read as a '%'.
// Portable: it is tested natively as well as under Windows.
std::string FormatMessageTemplate(const std::string& templ, const std::vector<const char*>& args,
                                  bool (*isLeadByte)(unsigned char) = nullptr);

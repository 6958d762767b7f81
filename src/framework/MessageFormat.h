#pragma once
#include <cstdint>
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

// A size as people read it: "999 bytes", then in units of 1024 with three
// digits at most, one of them after the point below 100 ("1.5 KB", "12.3 MB",
// "140 GB"; KB, MB, GB, TB, PB, EB). The last digit shown is rounded up or
// down as asked: a space needed is never shown smaller than it is, a space
// free never larger.
enum class SizeRounding
{
    Up,
    Down,
};
std::string FormatByteSize(std::uint64_t bytes, SizeRounding rounding);

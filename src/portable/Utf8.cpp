#include "portable/Utf8.h"

namespace
{
bool Untranslatable()
{
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
}

void AppendUtf8(std::string& out, unsigned c)
{
    if (c < 0x80)
    {
        out += static_cast<char>(c);
    }
    else if (c < 0x800)
    {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHigh(unsigned c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(unsigned c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Converts UTF-16 to UTF-8; a lone surrogate becomes replacement, or ends
// the conversion (false) when there is none.
bool Convert16To8(const WCHAR* text, size_t length, std::string& out, const unsigned* replacement)
{
    out.clear();
    out.reserve(length);
    for (size_t i = 0; i < length; ++i)
    {
        unsigned c = text[i];
        if (IsHigh(c) && i + 1 < length && IsLow(text[i + 1]))
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned>(text[++i]) - 0xDC00);
        else if (IsHigh(c) || IsLow(c))
        {
            if (!replacement)
                return Untranslatable();
            c = *replacement;
        }
        AppendUtf8(out, c);
    }
    return true;
}
} // namespace

bool Utf8ToUtf16(const std::string& text, Utf16String& out)
{
    out.clear();
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end)
    {
        unsigned c = *p++;
        const int more = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (more < 0 || end - p < more)
            return Untranslatable();
        c &= more == 0 ? 0x7F : (0x3F >> more);
        for (int i = 0; i < more; ++i)
        {
            if ((*p & 0xC0) != 0x80)
                return Untranslatable();
            c = (c << 6) | (*p++ & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are no
        // characters: a name built from them could not come back the same.
        static const unsigned MINIMUM[] = {0, 0x80, 0x800, 0x10000};
        if (c < MINIMUM[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return Untranslatable();
        if (c >= 0x10000)
        {
            c -= 0x10000;
            out += static_cast<WCHAR>(0xD800 + (c >> 10));
            out += static_cast<WCHAR>(0xDC00 + (c & 0x3FF));
        }
        else
        {
            out += static_cast<WCHAR>(c);
        }
    }
    return true;
}

bool Utf16ToUtf8(const WCHAR* text, size_t length, std::string& out)
{
    return Convert16To8(text, length, out, nullptr);
}

size_t Utf16LengthOf(const std::string& text)
{
    size_t units = 0;
    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        // A lead byte starts one unit, a four-byte sequence's two; the bytes
        // that continue a sequence add none.
        if ((byte & 0xC0) != 0x80)
            units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

std::string Utf16ToUtf8Lossy(const WCHAR* text, size_t length)
{
    static const unsigned REPLACEMENT_CHARACTER = 0xFFFD;
    std::string out;
    Convert16To8(text, length, out, &REPLACEMENT_CHARACTER);
    return out;
}

#include "core/DefaultAnswerPrompts.h"

#include <windows.h>

int DefaultButtonOf(unsigned type)
{
    // The buttons of each type, in the order MB_DEFBUTTON1..3 count them.
    static const struct
    {
        unsigned buttons;
        int answers[3];
    } BUTTONS[] = {
        {MB_OK, {IDOK, IDOK, IDOK}},
        {MB_OKCANCEL, {IDOK, IDCANCEL, IDCANCEL}},
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
        {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
        {MB_YESNO, {IDYES, IDNO, IDNO}},
        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL, IDCANCEL}},
    };
    const unsigned buttons = type & MB_TYPEMASK;
    const unsigned defaultIndex = (type & MB_DEFMASK) == MB_DEFBUTTON3   ? 2
                                  : (type & MB_DEFMASK) == MB_DEFBUTTON2 ? 1
                                                                         : 0;
    for (const auto& b : BUTTONS)
        if (b.buttons == buttons)
            return b.answers[defaultIndex];
    return IDOK;
}

int CDefaultAnswerPrompts::ShowMessageBox(const std::string&, unsigned type) { return DefaultButtonOf(type); }

ReplaceAnswer CDefaultAnswerPrompts::AskReplaceFile(const std::string&) { return ReplaceAnswer::Yes; }

#define NCURSES_WIDECHAR 1
#include "ui/terminal/keys.h"

#include <curses.h>

namespace ce::ui::term {
namespace {

Input key(UINT vk, bool shift = false) {
    Input i;
    i.kind = InputKind::Key;
    i.vk = vk;
    i.shift = shift;
    return i;
}

Input character(char16_t c) {
    Input i;
    i.kind = InputKind::Char;
    i.ch = c;
    return i;
}

struct KeyName {
    int code;
    UINT vk;
    bool shift;
};

// Function keys of the terminal and the virtual keys they stand for.
const KeyName kFunctionKeys[] = {
    {KEY_BTAB, VK_TAB, true},     {KEY_ENTER, VK_RETURN, false}, {KEY_BACKSPACE, VK_BACK, false},
    {KEY_DC, VK_DELETE, false},   {KEY_HOME, VK_HOME, false},    {KEY_END, VK_END, false},
    {KEY_LEFT, VK_LEFT, false},   {KEY_RIGHT, VK_RIGHT, false},  {KEY_UP, VK_UP, false},
    {KEY_DOWN, VK_DOWN, false},   {KEY_PPAGE, VK_PRIOR, false},  {KEY_NPAGE, VK_NEXT, false},
    {KEY_SLEFT, VK_LEFT, true},   {KEY_SRIGHT, VK_RIGHT, true},  {KEY_SHOME, VK_HOME, true},
    {KEY_SEND, VK_END, true},     {KEY_F(4), VK_F4, false},      {KEY_A1, VK_HOME, false},
    {KEY_C1, VK_END, false},      {KEY_A3, VK_PRIOR, false},     {KEY_C3, VK_NEXT, false},
};

}  // namespace

void translate_key(bool is_key, unsigned code, std::vector<Input> &out) {
    if (is_key) {
        for (const KeyName &k : kFunctionKeys)
            if (static_cast<unsigned>(k.code) == code) {
                out.push_back(key(k.vk, k.shift));
                return;
            }
        return;
    }
    switch (code) {
    case u'\t': out.push_back(key(VK_TAB)); return;
    case u'\r':
    case u'\n': out.push_back(key(VK_RETURN)); return;
    case 0x1B: out.push_back(key(VK_ESCAPE)); return;
    case 0x08:
    case 0x7F: out.push_back(key(VK_BACK)); return;
    case u' ':
        out.push_back(key(VK_SPACE));
        out.push_back(character(u' '));
        return;
    default: break;
    }
    // Other control characters (Ctrl+letter) mean nothing to a dialog.
    if (code < 0x20 || (code >= 0x80 && code < 0xA0)) return;
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return;
    if (code >= 0x10000) {
        unsigned v = code - 0x10000;
        out.push_back(character(static_cast<char16_t>(0xD800 + (v >> 10))));
        out.push_back(character(static_cast<char16_t>(0xDC00 + (v & 0x3FF))));
        return;
    }
    out.push_back(character(static_cast<char16_t>(code)));
}

}  // namespace ce::ui::term

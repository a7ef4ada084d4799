// Binary dialog templates (the classic and the extended form) as stored in
// resources, parsed into plain records. Every length is checked: a template
// that is truncated or inconsistent is rejected, and nothing past its end is
// ever read.
#pragma once

#include "ce/base.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ce::wm {

// A name that is either a number (an ordinal or a class atom) or a text.
struct NameOrOrdinal {
    bool is_ordinal = false;
    WORD ordinal = 0;
    std::u16string text;
};

struct DialogItem {
    DWORD help_id = 0;
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;  // 16 bits in the classic form, 32 in the extended
    NameOrOrdinal window_class;  // atoms: 0x80 button, 0x81 edit, 0x82 static, 0x83 list, 0x84 scroll, 0x85 combo
    NameOrOrdinal title;
    std::vector<BYTE> creation_data;
};

struct DialogTemplate {
    bool extended = false;
    DWORD help_id = 0;
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;          // empty text: no menu
    NameOrOrdinal window_class;  // empty text: the dialog class
    std::u16string caption;
    bool has_font = false;  // DS_SETFONT
    WORD point_size = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::u16string font;
    std::vector<DialogItem> items;
};

// Parses size bytes at data. On failure returns false and, when error is
// given, says what was wrong and at which offset.
bool parse_dialog_template(const void *data, size_t size, DialogTemplate *out, std::string *error);

// The class name that a class atom of a template stands for ("" if none).
const char16_t *class_of_atom(WORD atom);

}  // namespace ce::wm

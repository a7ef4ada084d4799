// Editing of a line of text with a caret and a selection, shared by the
// edit field and the combo box's edit field.
#pragma once

#include "ce/window.h"

#include <algorithm>
#include <string>

namespace ce::ctl {

struct TextField {
    int caret = 0;   // position of the caret, in UTF-16 units
    int anchor = 0;  // the other end of the selection (== caret: none)
    size_t limit = 30000;

    int sel_start() const { return std::min(caret, anchor); }
    int sel_end() const { return std::max(caret, anchor); }

    void clamp(const std::u16string &text) {
        int n = static_cast<int>(text.size());
        caret = std::clamp(caret, 0, n);
        anchor = std::clamp(anchor, 0, n);
    }
    // EM_SETSEL: start -1 removes the selection; end -1 (or past) means the end.
    void set_sel(const std::u16string &text, int start, int end) {
        int n = static_cast<int>(text.size());
        if (start < 0) {
            anchor = caret;
            return;
        }
        if (end < 0 || end > n) end = n;
        anchor = std::min(start, n);
        caret = end;
    }
    // Replaces the selection; false when nothing changed (limit reached).
    bool replace(std::u16string &text, const std::u16string &with) {
        clamp(text);
        size_t s = static_cast<size_t>(sel_start()), e = static_cast<size_t>(sel_end());
        std::u16string put = with;
        size_t room = limit > text.size() - (e - s) ? limit - (text.size() - (e - s)) : 0;
        if (put.size() > room) put.resize(room);
        if (put.empty() && s == e) return false;
        text.replace(s, e - s, put);
        caret = anchor = static_cast<int>(s + put.size());
        return true;
    }
    bool backspace(std::u16string &text) {
        clamp(text);
        if (caret == anchor) {
            if (caret == 0) return false;
            anchor = caret - 1;
            // Remove a whole surrogate pair.
            if (anchor > 0 && text[anchor] >= 0xDC00 && text[anchor] <= 0xDFFF) --anchor;
            if (anchor > 0 && text[anchor - 1] == u'\r' && text[anchor] == u'\n') --anchor;
        }
        return replace(text, u"");
    }
    bool del(std::u16string &text) {
        clamp(text);
        if (caret == anchor) {
            if (caret >= static_cast<int>(text.size())) return false;
            anchor = caret + 1;
            if (anchor < static_cast<int>(text.size()) && text[caret] >= 0xD800 && text[caret] <= 0xDBFF) ++anchor;
            if (anchor < static_cast<int>(text.size()) && text[caret] == u'\r' && text[anchor] == u'\n') ++anchor;
        }
        return replace(text, u"");
    }
    // Caret moves within a line; keys the field does not move by return false.
    bool move(const std::u16string &text, UINT vk) {
        clamp(text);
        int n = static_cast<int>(text.size());
        switch (vk) {
        case VK_LEFT: caret = caret > 0 ? caret - 1 : 0; break;
        case VK_RIGHT: caret = caret < n ? caret + 1 : n; break;
        case VK_HOME: caret = 0; break;
        case VK_END: caret = n; break;
        default: return false;
        }
        anchor = caret;
        return true;
    }
};

}  // namespace ce::ctl

// Edit fields: single-line (scrolling horizontally), multi-line (wrapping,
// scrolling vertically), read-only and centred. Typing tells the parent
// EN_CHANGE.
#include "controls/controls.h"
#include "controls/text_field.h"
#include "controls/text_layout.h"

namespace ce::ctl {
namespace {

struct EditState final : wm::ControlState {
    TextField field;
    int first_line = 0;
    int first_column = 0;
    // Copies of what describe() needs, refreshed with every change.
    DWORD style = 0;
    int cx = 0, cy = 0;
    std::u16string text;

    void describe(ui::Node &n) const override {
        n.first_line = first_line;
        n.first_column = first_column;
        n.caret = field.caret;
        n.sel_start = field.sel_start();
        n.sel_end = field.sel_end();
        if (style & ES_MULTILINE) {
            Layout l = layout(text, columns(style, cx), true, !(style & ES_AUTOHSCROLL));
            n.lines = l.lines;
        }
    }
};

// Keeps the caret in view: columns for one line, lines for several.
void scroll_to_caret(EditState &s, const std::u16string &text, DWORD style, int cx, int cy) {
    int cols = columns(style, cx);
    if (style & ES_MULTILINE) {
        Layout l = layout(text, cols, true, !(style & ES_AUTOHSCROLL));
        auto [line, col] = l.position(s.field.caret);
        int rows = visible_rows(style, cy);
        if (line < s.first_line) s.first_line = line;
        if (line >= s.first_line + rows) s.first_line = line - rows + 1;
        (void)col;
    } else {
        if (s.field.caret < s.first_column) s.first_column = s.field.caret;
        if (s.field.caret > s.first_column + cols - 1) s.first_column = s.field.caret - cols + 1;
        if (s.first_column < 0) s.first_column = 0;
    }
}

// Runs an edit of the field's text under the lock; tells the parent
// EN_CHANGE when the text changed.
void notify_parent_change(HWND hwnd) {
    wm::notify_parent(hwnd, EN_UPDATE);
    wm::notify_parent(hwnd, EN_CHANGE);
}

template <class F>
bool edit(HWND hwnd, F change, bool notify = true, bool follow_caret = true) {
    bool changed = false;
    {
        wm::Guard g(wm::wm_lock());
        auto w = wm::find(hwnd);
        if (!w) return false;
        auto *s = state_of<EditState>(hwnd);
        std::u16string before = w->text;
        change(*s, w->text, w->style);
        s->field.clamp(w->text);
        if (follow_caret) scroll_to_caret(*s, w->text, w->style, w->cx, w->cy);
        s->style = w->style;
        s->cx = w->cx;
        s->cy = w->cy;
        s->text = w->text;
        changed = before != w->text;
    }
    wm::mark_changed(hwnd);
    if (changed && notify) notify_parent_change(hwnd);
    return changed;
}

std::u16string filtered(const std::u16string &in, DWORD style) {
    std::u16string out;
    for (char16_t c : in) {
        if ((style & ES_NUMBER) && (c < u'0' || c > u'9')) continue;
        if ((style & ES_UPPERCASE) && c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        if ((style & ES_LOWERCASE) && c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        out.push_back(c);
    }
    return out;
}

void move_line(EditState &s, const std::u16string &text, DWORD style, int cx, UINT vk) {
    Layout l = layout(text, columns(style, cx), true, !(style & ES_AUTOHSCROLL));
    auto [line, col] = l.position(s.field.caret);
    int target = line;
    if (vk == VK_UP) target = line - 1;
    if (vk == VK_DOWN) target = line + 1;
    if (vk == VK_HOME) col = 0;
    if (vk == VK_END) col = INT32_MAX;
    if (target < 0 || target >= static_cast<int>(l.lines.size())) return;
    s.field.caret = s.field.anchor = l.offset(target, col);
}

}  // namespace

LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCCREATE: {
        LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
        edit(hwnd, [](EditState &, std::u16string &, DWORD) {}, false);
        return r;
    }
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_HASSETSEL | DLGC_WANTCHARS | DLGC_WANTARROWS;
        DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        if ((style & ES_MULTILINE) && (style & ES_WANTRETURN) && wp == VK_RETURN) code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SETTEXT: {
        std::u16string text = lp ? reinterpret_cast<LPCWSTR>(lp) : u"";
        bool multi = GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE;
        // Setting the text puts the caret at the start and shows the top.
        edit(hwnd,
             [&](EditState &s, std::u16string &t, DWORD) {
                 t = text;
                 s.field.caret = s.field.anchor = 0;
                 s.first_line = s.first_column = 0;
             },
             false);
        if (!multi) notify_parent_change(hwnd);
        return TRUE;
    }
    case WM_CHAR: {
        if (ignores_input(hwnd)) return 0;
        DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        if (style & ES_READONLY) return 0;
        char16_t c = static_cast<char16_t>(wp);
        if (c == 8) {
            edit(hwnd, [](EditState &s, std::u16string &t, DWORD) { s.field.backspace(t); });
        } else if (c == 13) {
            if (style & ES_MULTILINE)
                edit(hwnd, [](EditState &s, std::u16string &t, DWORD) { s.field.replace(t, u"\r\n"); });
        } else if (c >= 0x20) {
            std::u16string put = filtered(std::u16string(1, c), style);
            if (put.empty()) return 0;
            edit(hwnd, [&](EditState &s, std::u16string &t, DWORD) { s.field.replace(t, put); });
        }
        return 0;
    }
    case WM_KEYDOWN: {
        if (ignores_input(hwnd)) return 0;
        DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        if (wp == VK_DELETE) {
            if (!(style & ES_READONLY)) edit(hwnd, [](EditState &s, std::u16string &t, DWORD) { s.field.del(t); });
            return 0;
        }
        edit(
            hwnd,
            [&](EditState &s, std::u16string &t, DWORD st) {
                if ((st & ES_MULTILINE) && (wp == VK_UP || wp == VK_DOWN || wp == VK_HOME || wp == VK_END)) {
                    int cx;
                    {
                        auto w = wm::find(hwnd);
                        cx = w ? w->cx : 0;
                    }
                    move_line(s, t, st, cx, static_cast<UINT>(wp));
                } else {
                    s.field.move(t, static_cast<UINT>(wp));
                }
            },
            false);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        if (ignores_input(hwnd)) return 0;
        SetFocus(hwnd);
        int x = static_cast<SHORT>(LOWORD(lp)), y = static_cast<SHORT>(HIWORD(lp));
        edit(
            hwnd,
            [&](EditState &s, std::u16string &t, DWORD st) {
                int cx;
                {
                    auto w = wm::find(hwnd);
                    cx = w ? w->cx : 0;
                }
                if (st & ES_MULTILINE) {
                    Layout l = layout(t, columns(st, cx), true, !(st & ES_AUTOHSCROLL));
                    int line = std::min<int>(s.first_line + y / 8, static_cast<int>(l.lines.size()) - 1);
                    s.field.caret = s.field.anchor = l.offset(std::max(line, 0), x / 4);
                } else {
                    s.field.caret = s.field.anchor = s.first_column + x / 4;
                }
            },
            false);
        return 0;
    }
    case EM_SETSEL:
        edit(hwnd, [&](EditState &s, std::u16string &t, DWORD) {
            s.field.set_sel(t, static_cast<int>(static_cast<intptr_t>(wp)), static_cast<int>(lp));
        }, false);
        return 0;
    case EM_GETSEL: {
        wm::Guard g(wm::wm_lock());
        auto *s = state_of<EditState>(hwnd);
        if (!s) return 0;
        if (wp) *reinterpret_cast<DWORD *>(wp) = static_cast<DWORD>(s->field.sel_start());
        if (lp) *reinterpret_cast<DWORD *>(lp) = static_cast<DWORD>(s->field.sel_end());
        return MAKELONG(s->field.sel_start(), s->field.sel_end());
    }
    case EM_REPLACESEL: {
        std::u16string put = lp ? reinterpret_cast<LPCWSTR>(lp) : u"";
        edit(hwnd, [&](EditState &s, std::u16string &t, DWORD) { s.field.replace(t, put); });
        return 0;
    }
    case EM_SETREADONLY: {
        DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(wp ? style | ES_READONLY : style & ~ES_READONLY));
        return TRUE;
    }
    case EM_LIMITTEXT: {
        wm::Guard g(wm::wm_lock());
        if (auto *s = state_of<EditState>(hwnd)) s->field.limit = wp ? wp : 0x7FFFFFFE;
        return 0;
    }
    case EM_GETLIMITTEXT: {
        wm::Guard g(wm::wm_lock());
        auto *s = state_of<EditState>(hwnd);
        return s ? static_cast<LRESULT>(s->field.limit) : 0;
    }
    case EM_GETLINECOUNT: {
        wm::Guard g(wm::wm_lock());
        auto w = wm::find(hwnd);
        if (!w) return 0;
        if (!(w->style & ES_MULTILINE)) return 1;
        return static_cast<LRESULT>(
            layout(w->text, columns(w->style, w->cx), true, !(w->style & ES_AUTOHSCROLL)).lines.size());
    }
    case EM_GETFIRSTVISIBLELINE: {
        wm::Guard g(wm::wm_lock());
        auto *s = state_of<EditState>(hwnd);
        auto w = wm::find(hwnd);
        if (!s || !w) return 0;
        return (w->style & ES_MULTILINE) ? s->first_line : s->first_column;
    }
    case EM_LINESCROLL: {
        edit(hwnd, [&](EditState &s, std::u16string &t, DWORD st) {
            if (!(st & ES_MULTILINE)) return;
            int cx;
            {
                auto w = wm::find(hwnd);
                cx = w ? w->cx : 0;
            }
            int count = static_cast<int>(layout(t, columns(st, cx), true, !(st & ES_AUTOHSCROLL)).lines.size());
            s.first_line = std::clamp(s.first_line + static_cast<int>(lp), 0, std::max(count - 1, 0));
        }, false, false);
        return TRUE;
    }
    case EM_SCROLLCARET:
        edit(hwnd, [](EditState &, std::u16string &, DWORD) {}, false);
        return TRUE;
    case WM_SETFOCUS:
        wm::mark_changed(hwnd);
        wm::notify_parent(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        wm::mark_changed(hwnd);
        wm::notify_parent(hwnd, EN_KILLFOCUS);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace ce::ctl

// Drop-down combo boxes with an edit field. Typing edits the field; with the
// list closed that leaves no selection (CB_GETCURSEL answers CB_ERR), with
// it open the first entry the text starts (ignoring case) is selected.
#include "controls/controls.h"
#include "controls/text_field.h"

namespace ce::ctl {
namespace {

struct ComboState final : wm::ControlState {
    std::vector<std::u16string> items;
    std::vector<LPARAM> data;
    int selected = -1;
    bool dropped = false;
    int list_top = 0;
    TextField field;

    void describe(ui::Node &n) const override {
        n.items = items;
        n.selected = selected;
        n.dropped = dropped;
        n.list_top = list_top;
        n.caret = field.caret;
        n.sel_start = field.sel_start();
        n.sel_end = field.sel_end();
    }
};

char16_t fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool starts_with(const std::u16string &item, const std::u16string &prefix) {
    if (prefix.size() > item.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (fold(item[i]) != fold(prefix[i])) return false;
    return true;
}

bool equal_folded(const std::u16string &a, const std::u16string &b) {
    return a.size() == b.size() && starts_with(a, b);
}

// Entries listed in the dropped list: the combo's height less the edit line.
int list_rows(int cy) { return std::max((cy - 12) / 8, 1); }

// The first entry after start (wrapping) that matches; CB_ERR if none.
int find_item(const ComboState &s, int start, const std::u16string &text, bool exact) {
    int n = static_cast<int>(s.items.size());
    if (n == 0) return CB_ERR;
    int from = start < 0 || start >= n ? 0 : start + 1;
    for (int k = 0; k < n; ++k) {
        int i = (from + k) % n;
        if (exact ? equal_folded(s.items[i], text) : starts_with(s.items[i], text)) return i;
    }
    return CB_ERR;
}

void keep_visible(ComboState &s, int cy) {
    int rows = list_rows(cy);
    if (s.selected >= 0) {
        if (s.selected < s.list_top) s.list_top = s.selected;
        if (s.selected >= s.list_top + rows) s.list_top = s.selected - rows + 1;
    }
    s.list_top = std::clamp(s.list_top, 0, std::max(static_cast<int>(s.items.size()) - 1, 0));
}

// Applies a change under the lock, then redraws.
template <class F>
auto change(HWND hwnd, F fn) {
    using R = decltype(fn(*static_cast<ComboState *>(nullptr), *static_cast<wm::Window *>(nullptr)));
    R r{};
    {
        wm::Guard g(wm::wm_lock());
        auto w = wm::find(hwnd);
        if (!w) return r;
        auto *s = state_of<ComboState>(hwnd);
        r = fn(*s, *w);
        s->field.clamp(w->text);
    }
    wm::mark_changed(hwnd);
    return r;
}

// Selects an entry and shows its text in the edit field; -1 clears both.
bool select(ComboState &s, wm::Window &w, int index) {
    int n = static_cast<int>(s.items.size());
    if (index < 0 || index >= n) {
        s.selected = -1;
        w.text.clear();
        s.field.caret = s.field.anchor = 0;
        return false;
    }
    s.selected = index;
    w.text = s.items[static_cast<size_t>(index)];
    s.field.anchor = 0;
    s.field.caret = static_cast<int>(w.text.size());
    keep_visible(s, w.cy);
    return true;
}

void set_dropped(HWND hwnd, bool open) {
    bool was = change(hwnd, [&](ComboState &s, wm::Window &) {
        bool before = s.dropped;
        s.dropped = open;
        return before;
    });
    if (was == open) return;
    wm::notify_parent(hwnd, open ? CBN_DROPDOWN : CBN_CLOSEUP);
}

// Typing in the edit field (with the list closed or open).
void typed(HWND hwnd, const std::function<bool(ComboState &, std::u16string &)> &edit) {
    bool changed = change(hwnd, [&](ComboState &s, wm::Window &w) {
        if (!edit(s, w.text)) return false;
        if (s.dropped) {
            s.selected = w.text.empty() ? -1 : find_item(s, -1, w.text, false);
            keep_visible(s, w.cy);
        } else {
            s.selected = -1;
        }
        return true;
    });
    if (!changed) return;
    wm::notify_parent(hwnd, CBN_EDITUPDATE);
    wm::notify_parent(hwnd, CBN_EDITCHANGE);
}

}  // namespace

LRESULT CALLBACK combobox_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
        bool dropped = change(hwnd, [](ComboState &s, wm::Window &) { return s.dropped; });
        if (dropped && (wp == VK_RETURN || wp == VK_ESCAPE)) code |= DLGC_WANTMESSAGE;
        return code;
    }
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
        if (!lp) return CB_ERR;
        std::u16string text = reinterpret_cast<LPCWSTR>(lp);
        return change(hwnd, [&](ComboState &s, wm::Window &w) -> LRESULT {
            int n = static_cast<int>(s.items.size());
            int at;
            if (msg == CB_INSERTSTRING) {
                at = static_cast<int>(static_cast<intptr_t>(wp));
                if (at == -1) at = n;
                if (at < 0 || at > n) return CB_ERR;
            } else if (w.style & CBS_SORT) {
                at = 0;
                while (at < n) {
                    std::u16string a = s.items[static_cast<size_t>(at)], b = text;
                    for (auto &c : a) c = fold(c);
                    for (auto &c : b) c = fold(c);
                    if (b < a) break;
                    ++at;
                }
            } else {
                at = n;
            }
            s.items.insert(s.items.begin() + at, text);
            s.data.insert(s.data.begin() + at, 0);
            if (s.selected >= at) ++s.selected;
            return at;
        });
    }
    case CB_DELETESTRING:
        return change(hwnd, [&](ComboState &s, wm::Window &) -> LRESULT {
            int i = static_cast<int>(static_cast<intptr_t>(wp));
            if (i < 0 || i >= static_cast<int>(s.items.size())) return CB_ERR;
            s.items.erase(s.items.begin() + i);
            s.data.erase(s.data.begin() + i);
            if (s.selected == i) s.selected = -1;
            else if (s.selected > i) --s.selected;
            return static_cast<LRESULT>(s.items.size());
        });
    case CB_RESETCONTENT:
        return change(hwnd, [&](ComboState &s, wm::Window &w) -> LRESULT {
            s.items.clear();
            s.data.clear();
            s.selected = -1;
            s.list_top = 0;
            w.text.clear();
            return CB_OKAY;
        });
    case CB_GETCOUNT:
        return change(hwnd, [](ComboState &s, wm::Window &) -> LRESULT { return static_cast<LRESULT>(s.items.size()); });
    case CB_GETCURSEL:
        return change(hwnd, [](ComboState &s, wm::Window &) -> LRESULT { return s.selected; });
    case CB_SETCURSEL:
        return change(hwnd, [&](ComboState &s, wm::Window &w) -> LRESULT {
            int i = static_cast<int>(static_cast<intptr_t>(wp));
            return select(s, w, i) ? i : CB_ERR;
        });
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN:
        return change(hwnd, [&](ComboState &s, wm::Window &) -> LRESULT {
            int i = static_cast<int>(static_cast<intptr_t>(wp));
            if (i < 0 || i >= static_cast<int>(s.items.size())) return CB_ERR;
            const std::u16string &t = s.items[static_cast<size_t>(i)];
            if (msg == CB_GETLBTEXT) {
                if (!lp) return CB_ERR;
                auto *out = reinterpret_cast<LPWSTR>(lp);
                std::copy(t.begin(), t.end(), out);
                out[t.size()] = 0;
            }
            return static_cast<LRESULT>(t.size());
        });
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
        if (!lp) return CB_ERR;
        std::u16string text = reinterpret_cast<LPCWSTR>(lp);
        LRESULT r = change(hwnd, [&](ComboState &s, wm::Window &w) -> LRESULT {
            int i = find_item(s, static_cast<int>(static_cast<intptr_t>(wp)), text, msg == CB_FINDSTRINGEXACT);
            if (msg == CB_SELECTSTRING && i != CB_ERR) select(s, w, i);
            return i;
        });
        return r;
    }
    case CB_GETITEMDATA:
    case CB_SETITEMDATA:
        return change(hwnd, [&](ComboState &s, wm::Window &) -> LRESULT {
            int i = static_cast<int>(static_cast<intptr_t>(wp));
            if (i < 0 || i >= static_cast<int>(s.data.size())) return CB_ERR;
            if (msg == CB_SETITEMDATA) {
                s.data[static_cast<size_t>(i)] = lp;
                return TRUE;
            }
            return s.data[static_cast<size_t>(i)];
        });
    case CB_SHOWDROPDOWN:
        set_dropped(hwnd, wp != 0);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return change(hwnd, [](ComboState &s, wm::Window &) -> LRESULT { return s.dropped; });
    case CB_LIMITTEXT:
        change(hwnd, [&](ComboState &s, wm::Window &) {
            s.field.limit = wp ? wp : 0x7FFFFFFE;
            return 0;
        });
        return TRUE;
    case CB_SETEDITSEL:
        change(hwnd, [&](ComboState &s, wm::Window &w) {
            s.field.set_sel(w.text, static_cast<SHORT>(LOWORD(lp)), static_cast<SHORT>(HIWORD(lp)));
            return 0;
        });
        return TRUE;
    case EM_SETSEL:  // the dialog manager selects the edit field's text on Tab
        change(hwnd, [&](ComboState &s, wm::Window &w) {
            s.field.set_sel(w.text, static_cast<int>(static_cast<intptr_t>(wp)), static_cast<int>(lp));
            return 0;
        });
        return 0;
    case CB_GETEDITSEL:
        return change(hwnd, [&](ComboState &s, wm::Window &) -> LRESULT {
            if (wp) *reinterpret_cast<DWORD *>(wp) = static_cast<DWORD>(s.field.sel_start());
            if (lp) *reinterpret_cast<DWORD *>(lp) = static_cast<DWORD>(s.field.sel_end());
            return MAKELONG(s.field.sel_start(), s.field.sel_end());
        });
    case WM_SETTEXT: {
        std::u16string text = lp ? reinterpret_cast<LPCWSTR>(lp) : u"";
        change(hwnd, [&](ComboState &s, wm::Window &w) {
            w.text = text;
            s.field.caret = s.field.anchor = 0;
            return 0;
        });
        return TRUE;
    }
    case WM_CHAR: {
        if (ignores_input(hwnd)) return 0;
        char16_t c = static_cast<char16_t>(wp);
        if (c == 8) {
            typed(hwnd, [](ComboState &s, std::u16string &t) { return s.field.backspace(t); });
        } else if (c >= 0x20) {
            typed(hwnd, [c](ComboState &s, std::u16string &t) { return s.field.replace(t, std::u16string(1, c)); });
        }
        return 0;
    }
    case WM_KEYDOWN: {
        if (ignores_input(hwnd)) return 0;
        switch (wp) {
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT: {
            // Arrows move through the list, whether it is open or not.
            int moved = change(hwnd, [&](ComboState &s, wm::Window &w) {
                int n = static_cast<int>(s.items.size());
                if (n == 0) return 0;
                int step = wp == VK_UP ? -1 : wp == VK_DOWN ? 1 : wp == VK_PRIOR ? -list_rows(w.cy) : list_rows(w.cy);
                int next = s.selected < 0 ? (step > 0 ? 0 : n - 1) : std::clamp(s.selected + step, 0, n - 1);
                if (next == s.selected) return 0;
                select(s, w, next);
                return 1;
            });
            if (moved) wm::notify_parent(hwnd, CBN_SELCHANGE);
            return 0;
        }
        case VK_F4:
            set_dropped(hwnd, !change(hwnd, [](ComboState &s, wm::Window &) { return s.dropped; }));
            return 0;
        case VK_RETURN:
            wm::notify_parent(hwnd, CBN_SELENDOK);
            set_dropped(hwnd, false);
            return 0;
        case VK_ESCAPE:
            wm::notify_parent(hwnd, CBN_SELENDCANCEL);
            set_dropped(hwnd, false);
            return 0;
        case VK_DELETE:
            typed(hwnd, [](ComboState &s, std::u16string &t) { return s.field.del(t); });
            return 0;
        default:
            change(hwnd, [&](ComboState &s, wm::Window &w) { return s.field.move(w.text, static_cast<UINT>(wp)); });
            return 0;
        }
    }
    case WM_LBUTTONDOWN: {
        if (ignores_input(hwnd)) return 0;
        SetFocus(hwnd);
        set_dropped(hwnd, !change(hwnd, [](ComboState &s, wm::Window &) { return s.dropped; }));
        return 0;
    }
    case wm::kMsgListClick: {
        if (ignores_input(hwnd)) return 0;
        bool picked = change(hwnd, [&](ComboState &s, wm::Window &w) {
            int i = static_cast<int>(wp);
            if (!s.dropped || i < 0 || i >= static_cast<int>(s.items.size())) return false;
            return select(s, w, i);
        });
        if (picked) {
            wm::notify_parent(hwnd, CBN_SELCHANGE);
            wm::notify_parent(hwnd, CBN_SELENDOK);
            set_dropped(hwnd, false);
        }
        return 0;
    }
    case WM_SETFOCUS:
        wm::mark_changed(hwnd);
        wm::notify_parent(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        set_dropped(hwnd, false);
        wm::notify_parent(hwnd, CBN_KILLFOCUS);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace ce::ctl

// Push buttons (and the default push button): a click by mouse, Space or
// BM_CLICK tells the parent BN_CLICKED.
#include "controls/controls.h"

namespace ce::ctl {
namespace {

struct ButtonState final : wm::ControlState {
    bool pushed = false;
    int check = BST_UNCHECKED;
    void describe(ui::Node &) const override {}
};

void click(HWND hwnd) {
    if (ignores_input(hwnd)) return;
    DWORD type = GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX) {
        wm::Guard g(wm::wm_lock());
        if (auto s = state_of<ButtonState>(hwnd)) s->check = s->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    }
    wm::mark_changed(hwnd);
    wm::notify_parent(hwnd, BN_CLICKED);
}

}  // namespace

LRESULT CALLBACK button_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_GETDLGCODE: {
        DWORD type = GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
        if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        return DLGC_BUTTON;
    }
    case WM_KEYDOWN:
        if (wp == VK_SPACE) click(hwnd);
        return 0;
    case WM_CHAR:
        if (wp == u' ') return 0;  // pressed already on the key
        return 0;
    case WM_LBUTTONDOWN: {
        if (ignores_input(hwnd)) return 0;
        SetFocus(hwnd);
        wm::Guard g(wm::wm_lock());
        if (auto s = state_of<ButtonState>(hwnd)) s->pushed = true;
        return 0;
    }
    case WM_LBUTTONUP: {
        bool pushed = false;
        {
            wm::Guard g(wm::wm_lock());
            if (auto s = state_of<ButtonState>(hwnd)) {
                pushed = s->pushed;
                s->pushed = false;
            }
        }
        if (pushed) click(hwnd);
        return 0;
    }
    case BM_CLICK:
        click(hwnd);
        return 0;
    case BM_SETSTYLE: {
        DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>((style & ~0xFFFFu) | (wp & 0xFFFF)));
        return 0;
    }
    case BM_GETCHECK: {
        wm::Guard g(wm::wm_lock());
        auto s = state_of<ButtonState>(hwnd);
        return s ? s->check : 0;
    }
    case BM_SETCHECK: {
        {
            wm::Guard g(wm::wm_lock());
            if (auto s = state_of<ButtonState>(hwnd)) s->check = static_cast<int>(wp);
        }
        wm::mark_changed(hwnd);
        return 0;
    }
    case BM_GETSTATE: {
        wm::Guard g(wm::wm_lock());
        auto s = state_of<ButtonState>(hwnd);
        if (!s) return 0;
        return s->check | (s->pushed ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0);
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        wm::mark_changed(hwnd);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace ce::ctl

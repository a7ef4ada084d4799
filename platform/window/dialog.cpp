// Dialogs: built from binary templates, run in modal loops that nest, and
// driven from the keyboard the way the platform's dialog manager does it.
#include "window/dialog_template.h"
#include "window/wm.h"

#include "core/root.h"
#include "resource/modules.h"

#include <cstdio>
#include <cstdlib>

namespace ce::wm {
namespace {

std::string utf8(const std::u16string &s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string r(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), r.data(), n, nullptr, nullptr);
    return r;
}

DialogState *dialog_state(const std::shared_ptr<Window> &w) { return w ? w->dialog.get() : nullptr; }

// Default processing for messages the dialog procedure left alone.
LRESULT dialog_default(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE) {
            // Give the focus back to the control that had it last.
            HWND restore = nullptr;
            {
                Guard g(wm_lock());
                auto d = dialog_state(find(dlg));
                if (d && d->last_focus && find(d->last_focus) && is_child_of(d->last_focus, dlg))
                    restore = d->last_focus;
            }
            HWND f = GetFocus();
            if (restore) {
                if (f != restore) SetFocus(restore);
            } else if (!f || !is_child_of(f, dlg)) {
                SetFocus(dlg);
            }
        }
        return 0;
    case WM_CLOSE:
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
        return 0;
    case DM_GETDEFID: {
        Guard g(wm_lock());
        auto w = find(dlg);
        if (!w || !w->dialog) return 0;
        if (w->dialog->def_id) return MAKELONG(w->dialog->def_id, DC_HASDEFID);
        for (HWND c : w->children) {
            auto cw = find(c);
            if (cw && cw->cls && cw->cls->kind == ui::Kind::Button && (cw->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                return MAKELONG(cw->id, DC_HASDEFID);
        }
        return 0;
    }
    case DM_SETDEFID: {
        std::vector<std::pair<HWND, bool>> restyle;
        {
            Guard g(wm_lock());
            auto w = find(dlg);
            if (!w || !w->dialog) return FALSE;
            w->dialog->def_id = static_cast<int>(wp);
            for (HWND c : w->children) {
                auto cw = find(c);
                if (!cw || !cw->cls || cw->cls->kind != ui::Kind::Button || (cw->style & BS_TYPEMASK) > BS_DEFPUSHBUTTON)
                    continue;
                restyle.emplace_back(c, cw->id == static_cast<int>(wp));
            }
        }
        for (auto &[c, def] : restyle) SendMessageW(c, BM_SETSTYLE, def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        return TRUE;
    }
    case WM_NEXTDLGCTL: {
        HWND target;
        if (LOWORD(lp)) target = reinterpret_cast<HWND>(wp);
        else target = GetNextDlgTabItem(dlg, GetFocus(), wp != 0);
        if (target) SetFocus(target);
        return 0;
    }
    case WM_GETDLGCODE:
        return 0;
    default:
        return DefWindowProcW(dlg, msg, wp, lp);
    }
}

// Messages whose answer is the dialog procedure's own return value.
bool returns_directly(UINT msg) { return msg == WM_INITDIALOG; }

LRESULT CALLBACK dialog_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    DLGPROC proc = nullptr;
    {
        Guard g(wm_lock());
        auto d = dialog_state(find(dlg));
        if (d) proc = d->proc;
    }
    if (proc) {
        INT_PTR r = proc(dlg, msg, wp, lp);
        if (r) {
            if (returns_directly(msg)) return r;
            Guard g(wm_lock());
            auto d = dialog_state(find(dlg));
            return d ? d->msg_result : 0;
        }
        if (!find(dlg)) return 0;
    }
    return dialog_default(dlg, msg, wp, lp);
}

bool is_push_button(HWND hwnd) {
    if (!hwnd) return false;
    LRESULT code = SendMessageW(hwnd, WM_GETDLGCODE, 0, 0);
    return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

// Enter: the focused push button, else the default one, else IDOK.
void press_enter(HWND dlg) {
    HWND focus = GetFocus();
    int id;
    if (focus && focus != dlg && is_child_of(focus, dlg) && is_push_button(focus)) {
        id = GetDlgCtrlID(focus);
    } else {
        LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
        id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
        HWND button = GetDlgItem(dlg, id);
        if (button && !IsWindowEnabled(button)) return;  // a disabled default does nothing
    }
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

// Focus moved by the keyboard: an edit field then has all its text selected.
void tab_to(HWND control) {
    SetFocus(control);
    if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
}

bool tab_candidate(const std::shared_ptr<Window> &w) {
    return w && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
}

// The next or previous control in the same group (arrow keys).
HWND next_in_group(HWND dlg, HWND control, bool previous) {
    Guard g(wm_lock());
    auto w = find(dlg);
    if (!w) return nullptr;
    const auto &c = w->children;
    auto it = std::find(c.begin(), c.end(), control);
    if (it == c.end()) return nullptr;
    size_t i = static_cast<size_t>(it - c.begin());
    // The group runs from its WS_GROUP control to the next one.
    size_t start = i;
    while (start > 0) {
        auto sw = find(c[start]);
        if (sw && (sw->style & WS_GROUP)) break;
        --start;
    }
    size_t end = i + 1;
    while (end < c.size()) {
        auto ew = find(c[end]);
        if (ew && (ew->style & WS_GROUP)) break;
        ++end;
    }
    size_t n = end - start;
    for (size_t step = 1; step < n; ++step) {
        size_t j = previous ? start + (i - start + n - step) % n : start + (i - start + step) % n;
        auto cw = find(c[j]);
        if (cw && (cw->style & WS_VISIBLE) && !(cw->style & WS_DISABLED)) return c[j];
    }
    return nullptr;
}

}  // namespace

bool is_dialog(HWND hwnd) {
    Guard g(wm_lock());
    auto w = find(hwnd);
    return w && w->dialog;
}

HWND create_dialog_window(HINSTANCE instance, DWORD style, DWORD ex_style, int x, int y, int cx, int cy,
                          const std::u16string &caption, HWND owner, DLGPROC proc,
                          const std::u16string &class_name) {
    ensure_system_classes();
    const char16_t *cls = class_name.empty() ? u"#32770" : class_name.c_str();
    HWND dlg = CreateWindowExW(ex_style, cls, caption.c_str(), (style & ~(WS_VISIBLE | WS_CHILD)) | WS_POPUP, x, y,
                               cx, cy, owner, nullptr, instance, nullptr);
    if (!dlg) return nullptr;
    {
        Guard g(wm_lock());
        auto w = find(dlg);
        if (!w->dialog) w->dialog = std::make_unique<DialogState>();
        w->dialog->proc = proc;  // shown later, by the modal loop
    }
    return dlg;
}

bool dialog_key(HWND dlg, MSG &msg) {
    if (msg.message != WM_KEYDOWN) return false;
    LRESULT code = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    if (code & DLGC_WANTMESSAGE) return false;
    bool shift = (msg.lParam & kShiftBit) != 0;
    switch (msg.wParam) {
    case VK_TAB: {
        if (code & DLGC_WANTTAB) return false;
        HWND focus = GetFocus();
        HWND next = GetNextDlgTabItem(dlg, focus && is_child_of(focus, dlg) && focus != dlg ? focus : nullptr, shift);
        if (next) tab_to(next);
        return true;
    }
    case VK_RETURN:
        press_enter(dlg);
        return true;
    case VK_ESCAPE:
        // Esc cancels, even when the dialog has no Cancel button.
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
        return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
        if (code & DLGC_WANTARROWS) return false;
        HWND focus = GetFocus();
        if (!focus || focus == dlg) return true;
        HWND next = next_in_group(dlg, focus, msg.wParam == VK_LEFT || msg.wParam == VK_UP);
        if (next) tab_to(next);
        return true;
    }
    default:
        return false;
    }
}

INT_PTR run_modal(HWND dlg, HWND owner) {
    bool disabled_owner = false;
    if (owner && IsWindow(owner) && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        disabled_owner = true;
    }
    auto ended = [dlg] {
        Guard g(wm_lock());
        auto d = dialog_state(find(dlg));
        return !d || d->ended;
    };
    if (!ended()) ShowWindow(dlg, SW_SHOW);
    MSG msg{};
    bool quit = false;
    while (!ended()) {
        if (!next_message(msg)) {
            quit = true;
            break;
        }
        if (!IsDialogMessageW(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    INT_PTR result = 0;
    {
        Guard g(wm_lock());
        if (auto d = dialog_state(find(dlg))) result = d->result;
    }
    // The owner comes back before the dialog goes, so that it is activated
    // and its focus restored.
    if (disabled_owner && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(dlg)) DestroyWindow(dlg);
    if (owner && IsWindow(owner) && GetActiveWindow() != top_level_of(owner)) activate(top_level_of(owner));
    // A quit request ends every loop: hand it on to the enclosing one.
    if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
    return result;
}

// Builds the dialog and its controls; null when anything cannot be created.
HWND create_from_template(HINSTANCE instance, const DialogTemplate &t, HWND owner, DLGPROC proc, LPARAM param) {
    std::u16string class_name;
    if (t.window_class.is_ordinal) {
        class_name = class_of_atom(t.window_class.ordinal);
        if (class_name.empty()) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
    } else {
        class_name = t.window_class.text;
    }
    HWND dlg = create_dialog_window(instance, t.style, t.ex_style, t.x, t.y, t.cx, t.cy, t.caption, owner, nullptr,
                                    class_name);
    if (!dlg) return nullptr;
    for (const DialogItem &item : t.items) {
        std::u16string cls =
            item.window_class.is_ordinal ? class_of_atom(item.window_class.ordinal) : item.window_class.text;
        std::u16string title = item.title.is_ordinal ? std::u16string() : item.title.text;
        HWND c = cls.empty() ? nullptr
                             : CreateWindowExW(item.ex_style, cls.c_str(), title.c_str(), item.style | WS_CHILD,
                                               item.x, item.y, item.cx, item.cy, dlg,
                                               reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id & 0xFFFF)),
                                               instance, nullptr);
        if (!c) {
            char buf[120];
            snprintf(buf, sizeof buf, "dialog: control %u of class \"%s\" cannot be created",
                     static_cast<unsigned>(item.id), utf8(cls).c_str());
            report(buf);
            DestroyWindow(dlg);
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
    }
    {
        Guard g(wm_lock());
        find(dlg)->dialog->proc = proc;
    }
    HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE);
    LRESULT r = SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(dlg)) return nullptr;
    if (r && first) tab_to(first);
    return dlg;
}

INT_PTR dialog_box(HINSTANCE instance, const void *data, size_t size, HWND owner, DLGPROC proc, LPARAM param) {
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    DialogTemplate t;
    std::string error;
    if (!parse_dialog_template(data, size, &t, &error)) {
        report(error);
        SetLastError(ERROR_INVALID_DATA);
        return -1;
    }
    if (!interactive()) {
        report("the dialog \"" + utf8(t.caption) +
               "\" needs a terminal: run the program in one (or set CE_UI=terminal)");
        SetLastError(ERROR_NOT_SUPPORTED);
        return -1;
    }
    HWND dlg = create_from_template(instance, t, owner, proc, param);
    if (!dlg) return -1;
    return run_modal(dlg, owner);
}

}  // namespace ce::wm

using namespace ce::wm;

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW tmpl, HWND owner, DLGPROC proc, LPARAM param) {
    // A template from the program's resources is bounded by its resource;
    // any other is read only as far as its own lengths say.
    size_t size = ce::resource_bytes_at(tmpl);
    if (size == 0) size = tmpl ? SIZE_MAX - reinterpret_cast<uintptr_t>(tmpl) : 0;
    return dialog_box(instance, tmpl, size, owner, proc, param);
}

BOOL EndDialog(HWND dlg, INT_PTR result) {
    std::shared_ptr<ThreadQueue> q;
    {
        Guard g(wm_lock());
        auto w = find_or_fail(dlg);
        if (!w) return FALSE;
        if (!w->dialog) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        w->dialog->result = result;
        w->dialog->ended = true;
        q = w->queue;
    }
    // Wakes the dialog's loop when ended from elsewhere.
    if (q != current_queue()) q->wake();
    return TRUE;
}

BOOL IsDialogMessageW(HWND dlg, LPMSG msg) {
    if (!msg || !msg->hwnd || !dlg || !is_child_of(msg->hwnd, dlg)) return FALSE;
    if (dialog_key(dlg, *msg)) return TRUE;
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

LRESULT DefDlgProcW(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) { return dialog_proc(dlg, msg, wp, lp); }

HWND GetDlgItem(HWND dlg, int id) {
    Guard g(wm_lock());
    auto w = find_or_fail(dlg);
    if (!w) return nullptr;
    for (HWND c : w->children) {
        auto cw = find(c);
        if (cw && cw->id == id) return c;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    Guard g(wm_lock());
    auto w = find_or_fail(hwnd);
    return w && w->parent ? w->id : 0;
}

BOOL SetDlgItemTextW(HWND dlg, int id, LPCWSTR text) {
    HWND c = GetDlgItem(dlg, id);
    return c ? SetWindowTextW(c, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dlg, int id, LPWSTR buffer, int max) {
    if (buffer && max > 0) buffer[0] = 0;
    HWND c = GetDlgItem(dlg, id);
    if (!c) return 0;
    return static_cast<UINT>(GetWindowTextW(c, buffer, max));
}

LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wp, LPARAM lp) {
    HWND c = GetDlgItem(dlg, id);
    return c ? SendMessageW(c, msg, wp, lp) : 0;
}

HWND GetNextDlgTabItem(HWND dlg, HWND control, BOOL previous) {
    Guard g(wm_lock());
    auto w = find_or_fail(dlg);
    if (!w) return nullptr;
    const auto &c = w->children;
    if (c.empty()) return nullptr;
    size_t n = c.size();
    auto it = control ? std::find(c.begin(), c.end(), control) : c.end();
    if (it == c.end()) {
        // No starting control: the first (or, backwards, the last) tab stop.
        for (size_t k = 0; k < n; ++k) {
            size_t j = previous ? n - 1 - k : k;
            if (tab_candidate(find(c[j]))) return c[j];
        }
        return nullptr;
    }
    size_t i = static_cast<size_t>(it - c.begin());
    for (size_t step = 1; step <= n; ++step) {
        size_t j = previous ? (i + n - step) % n : (i + step) % n;
        if (tab_candidate(find(c[j]))) return c[j];
    }
    return nullptr;
}

namespace ce::wm {
void register_dialog_class() { register_system_class(u"#32770", dialog_proc, ui::Kind::Dialog); }
}  // namespace ce::wm

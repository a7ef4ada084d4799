// Message boxes: a small dialog built in code, owned and modal through the
// same loop as every dialog. Without anyone to answer (headless, no driver)
// the message goes to standard error as one line and the answer is the
// default button.
#include "window/wm.h"

#include <algorithm>
#include <cstdio>

namespace ce::wm {
namespace {

constexpr int kTextId = 0xFFFF;

struct Button {
    int id;
    const char16_t *label;
};

std::vector<Button> buttons_for(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, u"Abort"}, {IDRETRY, u"Retry"}, {IDIGNORE, u"Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, u"Yes"}, {IDNO, u"No"}, {IDCANCEL, u"Cancel"}};
    case MB_YESNO: return {{IDYES, u"Yes"}, {IDNO, u"No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, u"Retry"}, {IDCANCEL, u"Cancel"}};
    default: return {{IDOK, u"OK"}};
    }
}

int default_button(UINT type, const std::vector<Button> &buttons) {
    size_t index = (type & MB_DEFMASK) >> 8;
    return buttons[index < buttons.size() ? index : 0].id;
}

std::string one_line_utf8(const std::u16string &s) {
    std::u16string flat = s;
    for (auto &c : flat)
        if (c == u'\r' || c == u'\n') c = u' ';
    if (flat.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, flat.c_str(), static_cast<int>(flat.size()), nullptr, 0, nullptr, nullptr);
    std::string r(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, flat.c_str(), static_cast<int>(flat.size()), r.data(), n, nullptr, nullptr);
    return r;
}

INT_PTR CALLBACK message_box_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        SetFocus(reinterpret_cast<HWND>(lp));  // the default button
        return FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wp);
        HWND button = GetDlgItem(dlg, id);
        if (button) {
            EndDialog(dlg, id);
        } else if (id == IDCANCEL && GetDlgItem(dlg, IDOK) && !GetDlgItem(dlg, IDNO)) {
            EndDialog(dlg, IDOK);  // Esc closes a box whose only answer is OK
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

}  // namespace
}  // namespace ce::wm

using namespace ce::wm;

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::u16string body = text ? text : u"";
    std::u16string title = caption ? caption : u"Error";
    auto buttons = buttons_for(type);
    int def = default_button(type, buttons);
    if (!interactive()) {
        fprintf(stderr, "%s: %s\n", one_line_utf8(title).c_str(), one_line_utf8(body).c_str());
        fflush(stderr);
        return def;
    }

    // Lay out in dialog units: the text above, the buttons centred below.
    size_t longest = 0, lines = 1, run = 0;
    for (char16_t c : body) {
        if (c == u'\n') {
            ++lines;
            run = 0;
        } else {
            longest = std::max(longest, ++run);
        }
    }
    int text_cx = static_cast<int>(std::clamp<size_t>(longest, 16, 60)) * 4;
    int text_lines = static_cast<int>(std::min<size_t>(lines + longest / 60, 20));
    int buttons_cx = static_cast<int>(buttons.size()) * 44 - 4;
    int cx = std::max(text_cx, buttons_cx) + 16;
    int cy = text_lines * 8 + 36;
    HWND dlg = create_dialog_window(nullptr, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 0, 0, 0,
                                    cx, cy, title, owner, message_box_proc);
    if (!dlg) return 0;
    {
        Guard g(wm_lock());
        auto w = find(dlg);
        w->dialog->message_box = true;
        w->dialog->icon = type & MB_ICONMASK;
    }
    CreateWindowExW(0, u"static", body.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 8, 8, cx - 16,
                    text_lines * 8, dlg, reinterpret_cast<HMENU>(static_cast<uintptr_t>(kTextId)), nullptr, nullptr);
    int x = (cx - buttons_cx) / 2;
    HWND def_button = nullptr;
    for (const Button &b : buttons) {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (b.id == def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        HWND h = CreateWindowExW(0, u"button", b.label, style, x, cy - 20, 40, 14, dlg,
                                 reinterpret_cast<HMENU>(static_cast<uintptr_t>(b.id)), nullptr, nullptr);
        if (b.id == def) def_button = h;
        x += 44;
    }
    SendMessageW(dlg, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(def_button));
    if (type & MB_SETFOREGROUND) SetForegroundWindow(dlg);
    return static_cast<int>(run_modal(dlg, owner));
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    auto wide = [](LPCSTR s) -> std::u16string {
        if (!s) return {};
        int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
        if (n <= 0) return {};
        std::u16string r(static_cast<size_t>(n), u'\0');
        MultiByteToWideChar(CP_ACP, 0, s, -1, r.data(), n);
        r.resize(static_cast<size_t>(n - 1));
        return r;
    };
    std::u16string t = wide(text), c = wide(caption);
    return MessageBoxW(owner, text ? t.c_str() : nullptr, caption ? c.c_str() : nullptr, type);
}

// Helpers for tests that run dialogs of the test's resource script on a
// user-interface thread and drive them from the test's thread.
#pragma once

#include "platform.h"
#include "testsupport/message_recorder.h"
#include "ui/headless/driver.h"
#include "window/wm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace ce::test {

inline constexpr int kMain = 101, kSettings = 103;
inline constexpr int kSend = 1001, kSetting = 1002, kSendText = 1003, kClear = 1004, kRecvText = 1015;
inline constexpr int kBaud = 1007, kDataBits = 1008, kParity = 1009, kStopBits = 1010, kFlow = 1011, kDefault = 1006,
              kPort = 1018;

// The program's user-interface thread; a stuck one is told to quit so that
// a failing test ends instead of hanging.
class UiThread {
public:
    explicit UiThread(std::function<INT_PTR()> body) {
        thread_ = std::thread([this, body] {
            tid_ = ce::wm::current_thread_id();
            started_ = true;
            result_ = body();
            done_ = true;
        });
        while (!started_) std::this_thread::yield();
    }
    ~UiThread() {
        if (thread_.joinable()) {
            if (!done_) PostThreadMessageW(tid_, WM_QUIT, 0, 0);
            thread_.join();
        }
    }
    INT_PTR join() {
        thread_.join();
        return result_;
    }

private:
    std::thread thread_;
    std::atomic<bool> started_{false}, done_{false};
    std::atomic<DWORD> tid_{0};
    INT_PTR result_ = 0;
};

// What the test's dialog procedures do, set by each test.
struct Script {
    std::function<INT_PTR(HWND, LPARAM)> init;                   // WM_INITDIALOG
    std::function<bool(HWND, WPARAM)> command;                   // WM_COMMAND; true = handled
    std::function<void(HWND, UINT, WPARAM, LPARAM)> other;       // anything else
};
inline Script g_main, g_settings;

inline INT_PTR run_script(Script &s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    recorder().add(dlg, msg, wp, lp);
    switch (msg) {
    case WM_INITDIALOG: return s.init ? s.init(dlg, lp) : TRUE;
    case WM_COMMAND: return s.command && s.command(dlg, wp);
    default:
        if (s.other) s.other(dlg, msg, wp, lp);
        return FALSE;
    }
}

inline INT_PTR CALLBACK main_proc(HWND d, UINT m, WPARAM w, LPARAM l) { return run_script(g_main, d, m, w, l); }
inline INT_PTR CALLBACK settings_proc(HWND d, UINT m, WPARAM w, LPARAM l) { return run_script(g_settings, d, m, w, l); }

inline const DLGTEMPLATE *dialog_template(int id) {
    HRSRC r = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    return r ? static_cast<const DLGTEMPLATE *>(LockResource(LoadResource(nullptr, r))) : nullptr;
}

inline INT_PTR show(int id, HWND owner, DLGPROC proc, LPARAM param = 0) {
    return DialogBoxIndirectParamW(nullptr, dialog_template(id), owner, proc, param);
}

// The settings dialog's lists, filled as the terminal fills them.
inline void fill_lists(HWND dlg) {
    const std::vector<std::pair<int, std::vector<const char16_t *>>> lists = {
        {kBaud, {u"110", u"300", u"600", u"1200", u"2400", u"4800", u"9600", u"14400", u"19200", u"38400", u"57600", u"115200"}},
        {kDataBits, {u"5", u"6", u"7", u"8"}},
        {kParity, {u"None", u"Even", u"Odd"}},
        {kStopBits, {u"1", u"1.5", u"2"}},
        {kFlow, {u"None", u"Xon/Xoff", u"Hardware"}},
    };
    for (auto &[id, texts] : lists)
        for (auto *t : texts) SendDlgItemMessageW(dlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    SendDlgItemMessageW(dlg, kBaud, CB_SETCURSEL, 6, 0);
    SendDlgItemMessageW(dlg, kDataBits, CB_SETCURSEL, 3, 0);
    SendDlgItemMessageW(dlg, kParity, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageW(dlg, kStopBits, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageW(dlg, kFlow, CB_SETCURSEL, 0, 0);
}

// Ends on OK (1) and CANCEL (0), like the terminal's settings dialog.
inline bool ok_cancel(HWND dlg, WPARAM wp) {
    if (wp == IDOK) return EndDialog(dlg, 1);
    if (wp == IDCANCEL) return EndDialog(dlg, 0);
    return false;
}

}  // namespace ce::test

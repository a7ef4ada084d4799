// A small dialog program for trying the terminal front-end by hand and in
// the tmux tests. It shows a dialog with two fields, a combo box, a label of
// wide text, a button that opens a message box, OK and Cancel, and exits
// with the dialog's result: 100 + the chosen speed's index on OK, 2 on
// Cancel.
//
//   terminal_sample [--name TEXT] [--out FILE] [--flood COUNT] [--steady yes] [--crash yes]
//
// --name puts TEXT in the first field; --out writes the fields there on OK;
// --flood has a second thread send COUNT updates of the notes field in quick
// bursts (--steady: without a breath, so the queue never runs dry); --crash makes the Show button abort the program
// (to see the terminal given back).
#include "platform.h"
#include "sample_ids.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT WM_FLOOD = WM_APP + 1;       // wParam: update number
constexpr UINT WM_FLOOD_DONE = WM_APP + 2;  // wParam: updates sent

struct Options {
    std::u16string name;
    std::string out;
    long flood = 0;
    bool crash = false;
    bool steady = false;
};
Options g_options;
std::thread g_flooder;

std::string utf8(const std::u16string &s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string r(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), r.data(), n, nullptr, nullptr);
    return r;
}

std::u16string number(long v) {
    std::u16string s;
    for (char c : std::to_string(v)) s += static_cast<char16_t>(c);
    return s;
}

Options parse(LPWSTR line) {
    std::vector<std::u16string> words;
    std::u16string w;
    for (LPWSTR p = line; p && *p; ++p) {
        if (*p == u' ') {
            if (!w.empty()) words.push_back(w);
            w.clear();
        } else {
            w += *p;
        }
    }
    if (!w.empty()) words.push_back(w);
    Options o;
    for (size_t i = 0; i + 1 < words.size(); i += 2) {
        if (words[i] == u"--name") o.name = words[i + 1];
        else if (words[i] == u"--out") o.out = utf8(words[i + 1]);
        else if (words[i] == u"--flood") o.flood = std::stol(utf8(words[i + 1]));
        else if (words[i] == u"--crash") o.crash = words[i + 1] == u"yes";
        else if (words[i] == u"--steady") o.steady = words[i + 1] == u"yes";
    }
    return o;
}

std::u16string item_text(HWND dlg, int id) {
    WCHAR buf[512];
    GetDlgItemTextW(dlg, id, buf, 512);
    return buf;
}

void write_fields(HWND dlg) {
    if (g_options.out.empty()) return;
    FILE *f = fopen(g_options.out.c_str(), "w");
    if (!f) return;
    fprintf(f, "name=%s\nspeed=%s\n", utf8(item_text(dlg, IDC_NAME)).c_str(), utf8(item_text(dlg, IDC_SPEED)).c_str());
    fclose(f);
}

void show_fields(HWND dlg) {
    std::u16string text = u"Name: " + item_text(dlg, IDC_NAME) + u"\nSpeed: " + item_text(dlg, IDC_SPEED);
    MessageBoxW(dlg, text.c_str(), u"Sample", MB_OK | MB_ICONINFORMATION);
}

// Posts a message, waiting while the queue is full; false once the dialog
// is gone.
bool post(HWND dlg, UINT msg, long value) {
    while (!PostMessageW(dlg, msg, static_cast<WPARAM>(value), 0)) {
        if (GetLastError() != ERROR_NOT_ENOUGH_QUOTA) return false;
        std::this_thread::yield();
    }
    return true;
}

void start_flood(HWND dlg, long count) {
    g_flooder = std::thread([dlg, count] {
        // Bursts with a breath between them, as a serial line delivers data.
        for (long i = 1; i <= count; ++i) {
            if (!post(dlg, WM_FLOOD, i)) return;
            if (!g_options.steady && i % 20 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        post(dlg, WM_FLOOD_DONE, count);
    });
}

INT_PTR CALLBACK SampleProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    (void)lp;
    switch (msg) {
    case WM_INITDIALOG: {
        SHMENUBARINFO mb{};
        mb.cbSize = sizeof mb;
        mb.hwndParent = dlg;
        mb.dwFlags = SHCMBF_EMPTYBAR;
        SHCreateMenuBar(&mb);
        SetDlgItemTextW(dlg, IDC_NAME, g_options.name.c_str());
        SetDlgItemTextW(dlg, IDC_NOTES, u"Line 1\r\nLine 2\r\nLine 3\r\nLine 4\r\nLine 5\r\nLine 6");
        SetDlgItemTextW(dlg, IDC_WIDE, u"日本語: 幅の広い文字|");
        const char16_t *speeds[] = {u"9600", u"19200", u"38400", u"57600", u"115200"};
        for (const char16_t *s : speeds) SendDlgItemMessageW(dlg, IDC_SPEED, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        SendDlgItemMessageW(dlg, IDC_SPEED, CB_SETCURSEL, 1, 0);
        if (g_options.flood > 0) start_flood(dlg, g_options.flood);
        return TRUE;
    }
    case WM_FLOOD:
        SetDlgItemTextW(dlg, IDC_NOTES, (u"update " + number(static_cast<long>(wp))).c_str());
        return TRUE;
    case WM_FLOOD_DONE:
        SetDlgItemTextW(dlg, IDC_NOTES, (u"done " + number(static_cast<long>(wp))).c_str());
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDC_SHOW:
            if (g_options.crash) abort();
            show_fields(dlg);
            return TRUE;
        case IDOK: {
            write_fields(dlg);
            LRESULT speed = SendDlgItemMessageW(dlg, IDC_SPEED, CB_GETCURSEL, 0, 0);
            EndDialog(dlg, 100 + speed);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand) {
    (void)previous;
    (void)showCommand;
    g_options = parse(commandLine);
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_SAMPLE), RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    if (!loaded) {
        fprintf(stderr, "terminal_sample: the dialog template is missing from the program\n");
        return 1;
    }
    INT_PTR result =
        DialogBoxIndirectParamW(instance, static_cast<LPCDLGTEMPLATEW>(LockResource(loaded)), nullptr, SampleProc, 0);
    if (g_flooder.joinable()) g_flooder.join();
    return static_cast<int>(result);
}

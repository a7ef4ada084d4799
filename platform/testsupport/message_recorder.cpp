#include "testsupport/message_recorder.h"

#include <algorithm>
#include <cstdio>

namespace ce::test {

void MessageRecorder::add(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    std::lock_guard<std::mutex> g(m_);
    all_.push_back({hwnd, msg, wp, lp});
}

std::vector<Recorded> MessageRecorder::take(std::initializer_list<UINT> only) {
    std::lock_guard<std::mutex> g(m_);
    std::vector<Recorded> out;
    for (const Recorded &r : all_)
        if (only.size() == 0 || std::find(only.begin(), only.end(), r.msg) != only.end()) out.push_back(r);
    all_.clear();
    return out;
}

std::vector<UINT> MessageRecorder::messages(std::initializer_list<UINT> only) {
    std::vector<UINT> out;
    for (const Recorded &r : take(only)) out.push_back(r.msg);
    return out;
}

size_t MessageRecorder::count(UINT msg) {
    std::lock_guard<std::mutex> g(m_);
    return static_cast<size_t>(std::count_if(all_.begin(), all_.end(), [&](const Recorded &r) { return r.msg == msg; }));
}

MessageRecorder &recorder() {
    static MessageRecorder r;
    return r;
}

namespace {
LRESULT CALLBACK recording_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    recorder().add(hwnd, msg, wp, lp);
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wp, lp);
}
}  // namespace

const WCHAR *recorder_class() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = recording_proc;
        wc.lpszClassName = u"recorder";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    return u"recorder";
}

std::string message_name(UINT msg) {
    switch (msg) {
    case WM_CREATE: return "WM_CREATE";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_NCCREATE: return "WM_NCCREATE";
    case WM_NCDESTROY: return "WM_NCDESTROY";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_SHOWWINDOW: return "WM_SHOWWINDOW";
    case WM_ACTIVATE: return "WM_ACTIVATE";
    case WM_SETFOCUS: return "WM_SETFOCUS";
    case WM_KILLFOCUS: return "WM_KILLFOCUS";
    case WM_INITDIALOG: return "WM_INITDIALOG";
    case WM_COMMAND: return "WM_COMMAND";
    case WM_ENABLE: return "WM_ENABLE";
    default: {
        char buf[16];
        snprintf(buf, sizeof buf, "0x%04x", msg);
        return buf;
    }
    }
}

}  // namespace ce::test

// Windows and message queues without dialogs: order, limits, threads,
// quitting, and handles that do not name a window.
#include "platform.h"
#include "testsupport/message_recorder.h"
#include "window/wm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using ce::test::recorder;
using ce::test::recorder_class;

namespace {

HWND hidden_window() {
    HWND h = CreateWindowExW(0, recorder_class(), u"hidden", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(h, nullptr) << "last error " << GetLastError();
    return h;
}

std::vector<std::string> names(const std::vector<UINT> &msgs) {
    std::vector<std::string> out;
    for (UINT m : msgs) out.push_back(ce::test::message_name(m));
    return out;
}

// A program's message loop: dispatches until WM_QUIT; returns its code.
int run_loop(std::vector<WPARAM> *app_messages = nullptr) {
    MSG msg;
    BOOL r;
    while ((r = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        EXPECT_NE(r, -1);
        if (app_messages && msg.message == WM_APP) app_messages->push_back(msg.wParam);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    return static_cast<int>(msg.wParam);
}

TEST(Messages, CloseDestroysAndQuitsInOrder) {
    // The launcher's hidden window: never shown, closed by a posted WM_CLOSE.
    HWND h = hidden_window();
    recorder().take();
    EXPECT_FALSE(IsWindowVisible(h));
    ASSERT_TRUE(PostMessageW(h, WM_CLOSE, 0, 0));
    EXPECT_EQ(run_loop(), 0);
    EXPECT_FALSE(IsWindow(h));
    std::vector<std::string> expected = {"WM_CLOSE", "WM_DESTROY", "WM_NCDESTROY"};
    EXPECT_EQ(names(recorder().messages({WM_CLOSE, WM_DESTROY, WM_NCDESTROY, WM_SHOWWINDOW})), expected);
}

TEST(Messages, CreationSequence) {
    HWND h = CreateWindowExW(0, recorder_class(), u"w", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    std::vector<std::string> expected = {"WM_NCCREATE", "WM_CREATE", "WM_SHOWWINDOW", "WM_ACTIVATE", "WM_SETFOCUS"};
    EXPECT_EQ(names(recorder().messages({WM_NCCREATE, WM_CREATE, WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS})), expected);
    WCHAR buf[8] = {};
    EXPECT_EQ(GetWindowTextW(h, buf, 8), 1);
    EXPECT_EQ(std::u16string(buf), u"w");
    DestroyWindow(h);
}

TEST(Messages, PostedFromAnotherThreadArriveInOrder) {
    HWND h = hidden_window();
    constexpr int kCount = 3000;
    std::thread poster([h] {
        for (int i = 0; i < kCount; ++i) ASSERT_TRUE(PostMessageW(h, WM_APP, static_cast<WPARAM>(i), 0));
        ASSERT_TRUE(PostMessageW(h, WM_CLOSE, 0, 0));
    });
    std::vector<WPARAM> got;
    EXPECT_EQ(run_loop(&got), 0);
    poster.join();
    ASSERT_EQ(got.size(), static_cast<size_t>(kCount));
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(got[static_cast<size_t>(i)], static_cast<WPARAM>(i)) << "at " << i;
}

TEST(Messages, QueueHoldsTenThousandPostedMessages) {
    // Windows and the thread's own queue share the same limit.
    for (HWND target : {hidden_window(), static_cast<HWND>(nullptr)}) {
        SCOPED_TRACE(target ? "window" : "thread queue");
        for (int i = 0; i < 10000; ++i) ASSERT_TRUE(PostMessageW(target, WM_APP, static_cast<WPARAM>(i), 0)) << i;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(PostMessageW(target, WM_APP, 10000, 0));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
        // Taking one message makes room for one more, which comes last.
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 0u);
        EXPECT_TRUE(PostMessageW(target, WM_APP, 10000, 0));
        EXPECT_FALSE(PostMessageW(target, WM_APP, 10001, 0));
        WPARAM expect = 1;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ASSERT_EQ(msg.wParam, expect++);
        EXPECT_EQ(expect, 10001u);
    }
}

TEST(Messages, ThreadIdsAreTheOnesGetCurrentThreadIdGives) {
    HWND h = hidden_window();
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(h, &pid), GetCurrentThreadId());
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_APP, 7, 8));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 7u);
    DestroyWindow(h);
}

TEST(Messages, QuitComesAfterWaitingPostedMessages) {
    HWND h = hidden_window();
    PostMessageW(h, WM_APP, 1, 0);
    PostQuitMessage(3);
    PostMessageW(h, WM_APP, 2, 0);
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 1u) << "peeking leaves the message";
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit request is taken once";
    DestroyWindow(h);
}

TEST(Messages, HandlesThatNameNoWindowFailCleanly) {
    HWND destroyed = hidden_window();
    DestroyWindow(destroyed);
    for (HWND bad : {reinterpret_cast<HWND>(uintptr_t(0x1234)), destroyed, reinterpret_cast<HWND>(uintptr_t(-8))}) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(bad));
        struct Case {
            const char *what;
            std::function<bool()> call;  // true when the call reported failure
        } cases[] = {
            {"PostMessageW", [&] { return !PostMessageW(bad, WM_APP, 0, 0); }},
            {"SendMessageW", [&] { return SendMessageW(bad, WM_GETTEXTLENGTH, 0, 0) == 0; }},
            {"DestroyWindow", [&] { return !DestroyWindow(bad); }},
            {"SetWindowTextW", [&] { return !SetWindowTextW(bad, u"x"); }},
            {"GetDlgItem", [&] { return GetDlgItem(bad, 1) == nullptr; }},
            {"EnableWindow", [&] { return !IsWindowEnabled(bad) && !EnableWindow(bad, TRUE); }},
            {"EndDialog", [&] { return !EndDialog(bad, 1); }},
            {"SetFocus", [&] { return SetFocus(bad) == nullptr && GetFocus() != bad; }},
            {"MessageBoxW owner", [&] { return MessageBoxW(bad, u"t", u"c", MB_OK) == 0; }},
        };
        for (const Case &c : cases) {
            SCOPED_TRACE(c.what);
            SetLastError(0xdeadbeef);
            EXPECT_TRUE(c.call());
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        }
        EXPECT_FALSE(IsWindow(bad));
    }
}

TEST(Messages, SendFromAnotherThreadRunsOnTheWindowsThread) {
    static std::atomic<DWORD> ran_on{0};
    WNDCLASSW wc{};
    wc.lpszClassName = u"answering";
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_APP) {
            ran_on = ce::wm::current_thread_id();
            return static_cast<LRESULT>(wp * 2);
        }
        if (m == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcW(h, m, wp, lp);
    };
    ASSERT_TRUE(RegisterClassW(&wc));
    HWND h = CreateWindowExW(0, u"answering", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    DWORD ui = ce::wm::current_thread_id();
    LRESULT answer = 0;
    std::thread sender([&] {
        answer = SendMessageW(h, WM_APP, 21, 0);
        // The window's own text, read through the window's thread.
        SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"set from afar"));
        PostMessageW(h, WM_CLOSE, 0, 0);
    });
    std::vector<WPARAM> ignored;
    EXPECT_EQ(run_loop(&ignored), 0);
    sender.join();
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(ran_on.load(), ui);
}

TEST(Messages, ThreadsSendingToEachOtherDoNotLockUp) {
    // A sends to B's window; B's procedure sends back to A's window while A
    // is still waiting for its answer: A must answer it meanwhile.
    static HWND window_a, window_b;
    WNDCLASSW wc{};
    wc.lpszClassName = u"ping";
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_APP) return SendMessageW(window_b, WM_APP + 1, wp + 1, 0) + 1000;  // on A
        if (m == WM_APP + 1) return SendMessageW(window_a, WM_APP + 2, wp + 1, 0) + 100;  // on B
        if (m == WM_APP + 2) return static_cast<LRESULT>(wp);  // on A again, inside its wait
        if (m == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcW(h, m, wp, lp);
    };
    ASSERT_TRUE(RegisterClassW(&wc));
    window_a = CreateWindowExW(0, u"ping", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    std::atomic<bool> ready{false};
    std::thread b([&] {
        window_b = CreateWindowExW(0, u"ping", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        ready = true;
        std::vector<WPARAM> ignored;
        run_loop(&ignored);
    });
    while (!ready) std::this_thread::yield();
    EXPECT_EQ(SendMessageW(window_a, WM_APP, 1, 0), 3 + 100 + 1000);
    PostMessageW(window_b, WM_CLOSE, 0, 0);
    b.join();
    EXPECT_FALSE(IsWindow(window_b));
    DestroyWindow(window_a);
}

TEST(Messages, ClassesAndNarrowWindows) {
    WNDCLASSA wc{};
    wc.lpszClassName = "SETUP";
    wc.lpfnWndProc = DefWindowProcA;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    ATOM atom = RegisterClassA(&wc);
    ASSERT_NE(atom, 0);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    // Class names ignore case; the narrow title arrives as wide text.
    HWND h = CreateWindowExA(0, "setup", "Setup \xe3\x83\x86", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    WCHAR title[16];
    GetWindowTextW(h, title, 16);
    EXPECT_EQ(std::u16string(title), u"Setup テ");
    char narrow[16];
    EXPECT_EQ(GetWindowTextA(h, narrow, 16), 9);
    EXPECT_STREQ(narrow, "Setup \xe3\x83\x86");
    // Cut to the buffer, never inside a character.
    EXPECT_EQ(GetWindowTextA(h, narrow, 8), 6);
    EXPECT_STREQ(narrow, "Setup ");
    // Narrow text messages are converted both ways.
    EXPECT_TRUE(SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("\xe3\x83\x86st")));
    EXPECT_EQ(SendMessageA(h, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(narrow)), 5);
    EXPECT_STREQ(narrow, "\xe3\x83\x86st");
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateWindowExW(0, u"no such class", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    DestroyWindow(h);
}

TEST(Messages, CreateRefusedByTheWindowLeavesNoWindow) {
    WNDCLASSW wc{};
    wc.lpszClassName = u"refusing";
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        ce::test::recorder().add(h, m, wp, lp);
        return m == WM_CREATE ? -1 : DefWindowProcW(h, m, wp, lp);
    };
    ASSERT_TRUE(RegisterClassW(&wc));
    EXPECT_EQ(CreateWindowExW(0, u"refusing", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
    auto got = recorder().take();
    ASSERT_FALSE(got.empty());
    EXPECT_FALSE(IsWindow(got.front().hwnd));
    std::vector<std::string> expected = {"WM_NCCREATE", "WM_CREATE", "WM_DESTROY", "WM_NCDESTROY"};
    std::vector<UINT> msgs;
    for (auto &r : got) msgs.push_back(r.msg);
    EXPECT_EQ(names(msgs), expected);
}

}  // namespace

// Modal dialogs from the test's resource templates, run on a user-interface
// thread and driven from the test's thread like a person would.
#include "window/test_dialogs.h"

using ce::ui::Driver;

using namespace ce::test;

namespace {

TEST(Dialog, NestedModalLoopsReturnEndDialogValues) {
    Driver driver;
    std::atomic<INT_PTR> inner{-100};
    g_main.init = [](HWND dlg, LPARAM param) {
        EXPECT_EQ(param, 0x5151);
        SetFocus(GetDlgItem(dlg, kSendText));
        PostMessageW(dlg, WM_COMMAND, 103, 0);  // open the settings from the loop
        return FALSE;
    };
    g_main.command = [&](HWND dlg, WPARAM wp) {
        if (wp == 103) {
            inner = show(kSettings, dlg, settings_proc);
            return true;
        }
        if (LOWORD(wp) == IDCANCEL) return EndDialog(dlg, 7) != 0;
        return false;
    };
    g_settings.init = [](HWND dlg, LPARAM) {
        fill_lists(dlg);
        return FALSE;
    };
    g_settings.command = ok_cancel;
    UiThread ui([] { return show(kMain, nullptr, main_proc, 0x5151); });

    HWND settings = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(settings, nullptr);
    HWND main = GetParent(settings);
    ASSERT_TRUE(IsWindow(main));
    EXPECT_FALSE(driver.enabled(main)) << "the owner is disabled while the dialog runs";
    // A click on the disabled owner does nothing.
    EXPECT_TRUE(driver.click(GetDlgItem(main, kSend)));
    EXPECT_EQ(driver.active(), settings);

    ASSERT_TRUE(driver.answer(settings, IDOK));
    ASSERT_TRUE(driver.wait_gone(settings));
    ASSERT_EQ(driver.wait_dialog(u" TRV-PA0x SAMPLE"), main);
    EXPECT_EQ(inner.load(), 1);
    EXPECT_TRUE(driver.enabled(main));
    EXPECT_EQ(driver.focus(), GetDlgItem(main, kSendText)) << "focus comes back to the control that had it";

    ASSERT_TRUE(driver.key(VK_ESCAPE));
    EXPECT_EQ(ui.join(), 7);
    EXPECT_FALSE(IsWindow(main));
}

TEST(Dialog, PostedMessagesFromAnotherThreadArriveInOrderUnderANestedDialog) {
    Driver driver;
    static std::vector<WPARAM> received;
    received.clear();
    g_main.init = [](HWND dlg, LPARAM) {
        PostMessageW(dlg, WM_COMMAND, 103, 0);
        return FALSE;
    };
    g_main.command = [](HWND dlg, WPARAM wp) {
        if (wp == 103) return show(kSettings, dlg, settings_proc) >= 0;
        if (LOWORD(wp) == IDCANCEL) return EndDialog(dlg, 0) != 0;
        return false;
    };
    g_main.other = [](HWND, UINT msg, WPARAM wp, LPARAM) {
        if (msg == WM_APP + 25) received.push_back(wp);
    };
    g_settings.init = [](HWND, LPARAM) { return TRUE; };
    g_settings.command = ok_cancel;
    UiThread ui([] { return show(kMain, nullptr, main_proc); });
    HWND settings = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(settings, nullptr);
    HWND main = GetParent(settings);

    constexpr int kCount = 500;
    std::thread worker([main] {
        for (int i = 0; i < kCount; ++i) ASSERT_TRUE(PostMessageW(main, WM_APP + 25, static_cast<WPARAM>(i), 0));
    });
    worker.join();
    // Typing reaches the settings dialog after everything posted before it.
    ASSERT_TRUE(driver.key(VK_TAB));
    EXPECT_TRUE(IsWindow(settings)) << "the nested dialog stays open";
    ASSERT_EQ(received.size(), static_cast<size_t>(kCount));
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(received[static_cast<size_t>(i)], static_cast<WPARAM>(i));
    ASSERT_TRUE(driver.answer(settings, IDCANCEL));
    ASSERT_EQ(driver.wait_dialog(u" TRV-PA0x SAMPLE"), main);
    ASSERT_TRUE(driver.key(VK_ESCAPE));
    EXPECT_EQ(ui.join(), 0);
    g_main.other = nullptr;
}

TEST(Dialog, QuitRequestEndsEveryLoop) {
    Driver driver;
    static INT_PTR inner_result = -100;
    static MSG after{};
    g_main.init = [](HWND dlg, LPARAM) {
        PostMessageW(dlg, WM_COMMAND, 103, 0);
        return FALSE;
    };
    g_main.command = [](HWND dlg, WPARAM wp) {
        if (wp != 103) return false;
        inner_result = show(kSettings, dlg, settings_proc);
        return true;
    };
    g_settings.command = [](HWND, WPARAM wp) {
        if (wp == IDCANCEL) PostQuitMessage(5);  // a quit while the nested dialog runs, no EndDialog
        return true;
    };
    UiThread ui([] {
        INT_PTR r = show(kMain, nullptr, main_proc);
        // The request is handed on, out of every loop, to the program's own.
        EXPECT_EQ(GetMessageW(&after, nullptr, 0, 0), FALSE);
        return r;
    });
    HWND settings = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(settings, nullptr);
    HWND main = GetParent(settings);
    recorder().take();
    ASSERT_TRUE(driver.answer(settings, IDCANCEL));
    EXPECT_EQ(ui.join(), 0) << "the outer dialog was never ended";
    EXPECT_EQ(inner_result, 0) << "nor the inner one";
    EXPECT_EQ(after.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(after.wParam, 5u);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(IsWindow(settings));
}

TEST(Dialog, EndDialogDuringInitialisationSkipsTheLoop) {
    recorder().take();
    Driver driver;
    g_main.init = [](HWND dlg, LPARAM) {
        EndDialog(dlg, 0);
        return FALSE;
    };
    UiThread ui([] { return show(kMain, nullptr, main_proc); });
    EXPECT_EQ(ui.join(), 0);
    auto msgs = recorder().messages({WM_INITDIALOG, WM_SHOWWINDOW, WM_ACTIVATE});
    EXPECT_EQ(msgs, std::vector<UINT>{WM_INITDIALOG}) << "never shown, never active";
}

TEST(Dialog, ByResourceName) {
    Driver driver;
    g_main.init = [](HWND dlg, LPARAM param) {
        EndDialog(dlg, param + 1);
        return FALSE;
    };
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kMain), nullptr, main_proc, 41), 42);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(4242), nullptr, main_proc, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(Dialog, InitialisationResultDecidesTheFirstFocus) {
    struct Case {
        const char *what;
        INT_PTR returns;
        int focus_first;  // control the procedure focuses itself, 0 none
        int expected;     // focused control, 0 = no control (the dialog)
    } cases[] = {
        {"TRUE: first tab stop", TRUE, 0, IDCANCEL},
        {"FALSE after SetFocus", FALSE, kRecvText, kRecvText},
        {"FALSE, nothing focused", FALSE, 0, 0},
        {"TRUE overrides the procedure's choice", TRUE, kRecvText, IDCANCEL},
    };
    Driver driver;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_main.init = [&c](HWND dlg, LPARAM) {
            if (c.focus_first) SetFocus(GetDlgItem(dlg, c.focus_first));
            return c.returns;
        };
        g_main.command = [](HWND dlg, WPARAM wp) { return LOWORD(wp) == IDCANCEL && EndDialog(dlg, 0); };
        UiThread ui([] { return show(kMain, nullptr, main_proc); });
        HWND main = driver.wait_dialog(u" TRV-PA0x SAMPLE");
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(driver.key(VK_SHIFT));  // settle: the loop has started
        HWND want = c.expected ? GetDlgItem(main, c.expected) : main;
        EXPECT_EQ(driver.focus(), want);
        ASSERT_TRUE(driver.key(VK_ESCAPE));
        EXPECT_EQ(ui.join(), 0);
    }
}

TEST(Dialog, KeyboardMovesTheFocusInTemplateOrder) {
    Driver driver;
    g_settings.init = [](HWND dlg, LPARAM) {
        fill_lists(dlg);
        return FALSE;
    };
    g_settings.command = ok_cancel;
    UiThread ui([] { return show(kSettings, nullptr, settings_proc); });
    HWND dlg = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(dlg, nullptr);
    struct Step {
        UINT vk;
        bool shift;
        int expected;  // focused control afterwards
    } steps[] = {
        // No focus yet: Tab starts at the first tab stop.
        {VK_TAB, false, kBaud},
        {VK_TAB, false, kDataBits},
        {VK_TAB, false, kParity},
        // Template order: flow control comes before stop bits.
        {VK_TAB, false, kFlow},
        {VK_TAB, false, kStopBits},
        // Labels and the read-only port field are not tab stops.
        {VK_TAB, false, kDefault},
        {VK_TAB, false, IDCANCEL},
        {VK_TAB, false, IDOK},
        {VK_TAB, false, kBaud},  // wraps
        {VK_TAB, true, IDOK},    // and back
        {VK_TAB, true, IDCANCEL},
        // Arrows on a button move within its group (the buttons follow the last label).
        {VK_RIGHT, false, IDOK},
        {VK_LEFT, false, IDCANCEL},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(testing::Message() << "step " << i << (steps[i].shift ? " shift" : "") << " key " << steps[i].vk);
        ASSERT_TRUE(driver.key(steps[i].vk, steps[i].shift));
        EXPECT_EQ(GetDlgCtrlID(driver.focus()), steps[i].expected);
    }
    // A disabled control is passed over, and takes no typing or clicks.
    HWND parity = GetDlgItem(dlg, kParity);
    EnableWindow(parity, FALSE);
    ASSERT_TRUE(driver.click(GetDlgItem(dlg, kDataBits)));
    EXPECT_EQ(GetDlgCtrlID(driver.focus()), kDataBits);
    ASSERT_TRUE(driver.key(VK_TAB));
    EXPECT_EQ(GetDlgCtrlID(driver.focus()), kFlow);
    ASSERT_TRUE(driver.click(parity));
    EXPECT_EQ(GetDlgCtrlID(driver.focus()), kFlow);
    SendMessageW(parity, WM_CHAR, u'x', 0);
    EXPECT_EQ(driver.text(parity), u"None");
    ASSERT_TRUE(driver.key(VK_ESCAPE));
    EXPECT_EQ(ui.join(), 0);
}

TEST(Dialog, EnterEscapeAndSpacePressButtons) {
    Driver driver;
    static std::vector<WPARAM> commands;
    struct Case {
        const char *what;
        int focus;                 // control focused first (0: none)
        UINT vk;
        std::function<void(HWND)> before;  // run on the dialog's thread first
        std::vector<WPARAM> expected;      // WM_COMMAND wParams that arrive
    } cases[] = {
        {"Enter on a combo box: the default button", kBaud, VK_RETURN, nullptr, {IDOK}},
        {"Enter on a push button: that button", kDefault, VK_RETURN, nullptr, {kDefault}},
        {"Enter with no focus: the default button", 0, VK_RETURN, nullptr, {IDOK}},
        {"Esc: cancel", kBaud, VK_ESCAPE, nullptr, {IDCANCEL}},
        {"Space on a button", IDCANCEL, VK_SPACE, nullptr, {IDCANCEL}},
        {"Space on a combo box: nothing", kBaud, VK_SPACE, nullptr, {}},
        {"a default set by DM_SETDEFID", kBaud, VK_RETURN,
         [](HWND d) { SendMessageW(d, DM_SETDEFID, kDefault, 0); }, {kDefault}},
        {"a disabled default: nothing", kBaud, VK_RETURN, [](HWND d) { EnableWindow(GetDlgItem(d, IDOK), FALSE); }, {}},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.what);
        commands.clear();
        g_settings.init = [&c](HWND dlg, LPARAM) {
            fill_lists(dlg);
            if (c.before) c.before(dlg);
            if (c.focus) SetFocus(GetDlgItem(dlg, c.focus));
            return FALSE;
        };
        // Commands are recorded; a key in the test ends the dialog afterwards.
        g_settings.command = [](HWND dlg, WPARAM wp) {
            if (wp == MAKEWPARAM(999, 0)) return EndDialog(dlg, 0) != 0;
            if (HIWORD(wp) == BN_CLICKED) commands.push_back(wp);
            return true;
        };
        UiThread ui([] { return show(kSettings, nullptr, settings_proc); });
        HWND dlg = driver.wait_dialog(u" COM Port Setting");
        ASSERT_NE(dlg, nullptr);
        ASSERT_TRUE(driver.key(c.vk));
        EXPECT_EQ(commands, c.expected);
        PostMessageW(dlg, WM_COMMAND, 999, 0);
        EXPECT_EQ(ui.join(), 0);
    }
}

TEST(Dialog, TextsOfControls) {
    Driver driver;
    g_main.init = [](HWND dlg, LPARAM) {
        SetDlgItemTextW(dlg, kRecvText, u"Port Assignment >> COM10");
        return FALSE;
    };
    g_main.command = [](HWND dlg, WPARAM wp) { return LOWORD(wp) == IDCANCEL && EndDialog(dlg, 0); };
    UiThread ui([] { return show(kMain, nullptr, main_proc); });
    HWND dlg = driver.wait_dialog();
    ASSERT_NE(dlg, nullptr);
    struct Case {
        int size;
        int returned;
        std::u16string text;
    } cases[] = {{32, 24, u"Port Assignment >> COM10"}, {25, 24, u"Port Assignment >> COM10"},
                 {24, 23, u"Port Assignment >> COM1"}, {10, 9, u"Port Assi"}, {1, 0, u""}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        WCHAR buf[40];
        std::fill(std::begin(buf), std::end(buf), u'#');
        EXPECT_EQ(GetDlgItemTextW(dlg, kRecvText, buf, c.size), static_cast<UINT>(c.returned));
        EXPECT_EQ(std::u16string(buf), c.text) << "always terminated";
        EXPECT_EQ(buf[c.size], u'#') << "nothing written past the buffer";
    }
    WCHAR buf[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(GetDlgItemTextW(dlg, 4242, buf, 4), 0u) << "no such control";
    EXPECT_EQ(buf[0], 0);
    // Buttons and labels keep their template texts; the caption is the dialog's text.
    EXPECT_EQ(driver.text(GetDlgItem(dlg, IDCANCEL)), u"EXIT");
    EXPECT_EQ(driver.text(dlg), u" TRV-PA0x SAMPLE");
    EXPECT_NE(driver.find(dlg, u"Receive Data"), nullptr);
    ASSERT_TRUE(driver.key(VK_ESCAPE));
    EXPECT_EQ(ui.join(), 0);
}

TEST(Dialog, MessageBoxIsOwnedAndModal) {
    Driver driver;
    static int answer = -1;
    g_main.init = [](HWND dlg, LPARAM) {
        PostMessageW(dlg, WM_COMMAND, 103, 0);
        return FALSE;
    };
    g_main.command = [](HWND dlg, WPARAM wp) {
        if (wp == 103) {
            answer = MessageBoxW(dlg, u"ERROR: Device Not Found.", u"TRV-PA0x SAMPLE", MB_OK | MB_ICONHAND);
            EndDialog(dlg, 0);
        }
        return true;
    };
    UiThread ui([] { return show(kMain, nullptr, main_proc); });
    HWND box = driver.wait_message_box();
    ASSERT_NE(box, nullptr);
    HWND main = GetParent(box);
    EXPECT_FALSE(driver.enabled(main));
    EXPECT_EQ(driver.text(box), u"TRV-PA0x SAMPLE");
    EXPECT_EQ(driver.message_text(box), u"ERROR: Device Not Found.");
    auto node = driver.node(box);
    EXPECT_TRUE(node.message_box);
    EXPECT_EQ(node.icon, static_cast<UINT>(MB_ICONHAND));
    ASSERT_TRUE(driver.key(VK_RETURN));
    EXPECT_EQ(ui.join(), 0);
    EXPECT_EQ(answer, IDOK);
}

TEST(Dialog, WithoutATerminalDialogsFailAndMessageBoxesPrint) {
    recorder().take();
    // No driver: nobody can answer.
    testing::internal::CaptureStderr();
    INT_PTR r = show(kMain, nullptr, main_proc);
    int answer = MessageBoxW(nullptr, u"インストールに失敗しました。", u"Setup", MB_OK | MB_ICONHAND | MB_SETFOREGROUND);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, -1);
    EXPECT_EQ(answer, IDOK);
    EXPECT_NE(err.find("needs a terminal"), std::string::npos) << err;
    EXPECT_NE(err.find("\nSetup: インストールに失敗しました。\n"), std::string::npos) << err;
    EXPECT_EQ(recorder().count(WM_INITDIALOG), 0u) << "the dialog was never created";
}

TEST(Dialog, ControlOfAnUnknownClassFailsTheDialog) {
    recorder().take();
    Driver driver;
    testing::internal::CaptureStderr();
    // A well-formed template whose one control names a class that does not exist.
    std::vector<BYTE> bad_class = {0, 0, 0xC0, 0x80, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 10, 0, 10, 0,
                                   0, 0, 0, 0, 0, 0};  // no menu, no class, no caption
    // One control of class atom 0x99, which names no class.
    for (WORD w : {0x0000, 0x5000, 0, 0, 1, 1, 5, 5, 7, 0xFFFF, 0x99, 0, 0}) {
        bad_class.push_back(static_cast<BYTE>(w));
        bad_class.push_back(static_cast<BYTE>(w >> 8));
    }
    INT_PTR r = DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE *>(bad_class.data()), nullptr,
                                        main_proc, 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, -1);
    EXPECT_NE(err.find("cannot be created"), std::string::npos) << err;
    EXPECT_EQ(recorder().count(WM_INITDIALOG), 0u);
}

TEST(Dialog, EmptyMenuBar) {
    Driver driver;
    static BOOL made = FALSE;
    static HWND bar = nullptr;
    g_main.init = [](HWND dlg, LPARAM) {
        SHMENUBARINFO mb{};
        mb.cbSize = sizeof mb;
        mb.hwndParent = dlg;
        mb.dwFlags = SHCMBF_EMPTYBAR;
        made = SHCreateMenuBar(&mb);
        bar = mb.hwndMB;
        return FALSE;
    };
    g_main.command = [](HWND dlg, WPARAM wp) { return LOWORD(wp) == IDCANCEL && EndDialog(dlg, 0); };
    UiThread ui([] { return show(kMain, nullptr, main_proc); });
    HWND dlg = driver.wait_dialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(made);
    EXPECT_TRUE(IsWindow(bar));
    EXPECT_TRUE(driver.node(dlg).menu_bar);
    ASSERT_TRUE(driver.key(VK_ESCAPE));
    EXPECT_EQ(ui.join(), 0);
    EXPECT_FALSE(IsWindow(bar)) << "the bar goes with its dialog";
}

}  // namespace

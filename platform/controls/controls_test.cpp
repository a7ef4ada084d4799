// The standard controls inside the test's dialogs: combo box selection and
// typing, edit field scrolling, notifications with their codes.
#include "window/test_dialogs.h"

using namespace ce::test;
using ce::ui::Driver;

namespace {

// Runs `body` against the settings (or main) dialog, then closes it.
void with_dialog(int id, const std::function<void(Driver &, HWND)> &body) {
    Driver driver;
    Script &s = id == kSettings ? g_settings : g_main;
    s.init = [id](HWND dlg, LPARAM) {
        if (id == kSettings) fill_lists(dlg);
        return FALSE;
    };
    s.command = [](HWND dlg, WPARAM wp) {
        if (wp == 999) return EndDialog(dlg, 0) != 0;
        return false;
    };
    UiThread ui([id] { return show(id, nullptr, id == kSettings ? settings_proc : main_proc); });
    HWND dlg = driver.wait_dialog();
    ASSERT_NE(dlg, nullptr);
    recorder().take();
    body(driver, dlg);
    PostMessageW(dlg, WM_COMMAND, 999, 0);
    EXPECT_EQ(ui.join(), 0);
}

// Notifications a control sent its dialog: (id, code) from WM_COMMAND.
std::vector<std::pair<int, int>> notifications(HWND control) {
    std::vector<std::pair<int, int>> out;
    for (const Recorded &r : recorder().take({WM_COMMAND}))
        if (reinterpret_cast<HWND>(r.lp) == control) out.emplace_back(LOWORD(r.wp), HIWORD(r.wp));
    return out;
}

LRESULT cursel(HWND combo) { return SendMessageW(combo, CB_GETCURSEL, 0, 0); }

TEST(ComboBox, SelectionTypingAndTheList) {
    with_dialog(kSettings, [](Driver &driver, HWND dlg) {
        HWND baud = GetDlgItem(dlg, kBaud);
        EXPECT_EQ(SendMessageW(baud, CB_GETCOUNT, 0, 0), 12);
        EXPECT_EQ(cursel(baud), 6);
        EXPECT_EQ(driver.text(baud), u"9600");
        WCHAR item[16];
        EXPECT_EQ(SendMessageW(baud, CB_GETLBTEXT, 11, reinterpret_cast<LPARAM>(item)), 6);
        EXPECT_EQ(std::u16string(item), u"115200");
        EXPECT_EQ(SendMessageW(baud, CB_GETLBTEXT, 12, reinterpret_cast<LPARAM>(item)), CB_ERR);
        ASSERT_TRUE(driver.key(VK_TAB));  // focus, all its text selected
        ASSERT_EQ(driver.focus(), baud);
        recorder().take();

        struct Step {
            const char *what;
            std::function<bool()> act;
            std::u16string text;  // the edit field afterwards
            LRESULT selected;     // CB_GETCURSEL afterwards
            std::vector<int> codes;  // notifications, in order
        } steps[] = {
            {"typing with the list closed leaves no selection", [&] { return driver.type(u"192"); }, u"192", CB_ERR,
             {CBN_EDITUPDATE, CBN_EDITCHANGE, CBN_EDITUPDATE, CBN_EDITCHANGE, CBN_EDITUPDATE, CBN_EDITCHANGE}},
            {"down from no selection: the first entry", [&] { return driver.key(VK_DOWN); }, u"110", 0, {CBN_SELCHANGE}},
            {"down", [&] { return driver.key(VK_DOWN); }, u"300", 1, {CBN_SELCHANGE}},
            {"up", [&] { return driver.key(VK_UP); }, u"110", 0, {CBN_SELCHANGE}},
            {"up at the top: nothing", [&] { return driver.key(VK_UP); }, u"110", 0, {}},
            {"F4 opens the list", [&] { return driver.key(VK_F4); }, u"110", 0, {CBN_DROPDOWN}},
            {"typing with the list open selects the first match", [&] { return driver.type(u"5"); }, u"5", 10,
             {CBN_EDITUPDATE, CBN_EDITCHANGE}},
            {"no entry starts so", [&] { return driver.type(u"x"); }, u"5x", CB_ERR, {CBN_EDITUPDATE, CBN_EDITCHANGE}},
            {"backspace", [&] { return driver.key(VK_BACK); }, u"5", 10, {CBN_EDITUPDATE, CBN_EDITCHANGE}},
            {"a click on a row picks it and closes the list", [&] { return driver.click(baud, 11); }, u"115200", 11,
             {CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}},
            {"a click on a row of a closed list: nothing", [&] { return driver.click(baud, 2); }, u"115200", 11, {}},
        };
        for (const Step &s : steps) {
            SCOPED_TRACE(s.what);
            ASSERT_TRUE(s.act());
            EXPECT_EQ(driver.text(baud), s.text);
            EXPECT_EQ(cursel(baud), s.selected);
            std::vector<std::pair<int, int>> expected;
            for (int code : s.codes) expected.emplace_back(kBaud, code);
            EXPECT_EQ(notifications(baud), expected);
        }
        // A selection out of range clears the selection and the field.
        EXPECT_EQ(SendMessageW(baud, CB_SETCURSEL, 12, 0), CB_ERR);
        EXPECT_EQ(cursel(baud), CB_ERR);
        EXPECT_EQ(driver.text(baud), u"");
        EXPECT_EQ(SendMessageW(baud, CB_SETCURSEL, 3, 0), 3);
        EXPECT_EQ(driver.text(baud), u"1200");
    });
}

TEST(ComboBox, EnterWhileTheListIsOpenClosesItOnly) {
    static std::vector<WPARAM> commands;
    commands.clear();
    Driver driver;
    g_settings.init = [](HWND dlg, LPARAM) {
        fill_lists(dlg);
        SetFocus(GetDlgItem(dlg, kParity));
        return FALSE;
    };
    g_settings.command = [](HWND dlg, WPARAM wp) {
        if (wp == 999) return EndDialog(dlg, 0) != 0;
        if (HIWORD(wp) == BN_CLICKED) commands.push_back(wp);
        return true;
    };
    UiThread ui([] { return show(kSettings, nullptr, settings_proc); });
    HWND dlg = driver.wait_dialog();
    ASSERT_NE(dlg, nullptr);
    HWND parity = GetDlgItem(dlg, kParity);
    ASSERT_TRUE(driver.key(VK_F4));
    EXPECT_TRUE(driver.node(parity).dropped);
    ASSERT_TRUE(driver.key(VK_DOWN));
    ASSERT_TRUE(driver.key(VK_RETURN));
    EXPECT_FALSE(driver.node(parity).dropped);
    EXPECT_EQ(cursel(parity), 1);
    EXPECT_TRUE(commands.empty()) << "the list took the Enter";
    ASSERT_TRUE(driver.key(VK_RETURN));
    EXPECT_EQ(commands, std::vector<WPARAM>{IDOK});
    PostMessageW(dlg, WM_COMMAND, 999, 0);
    EXPECT_EQ(ui.join(), 0);
}

TEST(Edit, SingleLineScrollsToTheCaret) {
    with_dialog(kMain, [](Driver &driver, HWND dlg) {
        HWND send = GetDlgItem(dlg, kSendText);
        ASSERT_TRUE(driver.click(send));
        ASSERT_EQ(driver.focus(), send);
        // 120 units wide less the border: 29 columns.
        std::u16string typed = u"0123456789abcdefghijklmnopqrstuvwxyzABCD";  // 40
        ASSERT_TRUE(driver.type(typed));
        EXPECT_EQ(driver.text(send), typed);
        auto node = driver.node(send);
        EXPECT_EQ(node.caret, 40);
        EXPECT_EQ(node.first_column, 40 - 29 + 1);
        ASSERT_TRUE(driver.key(VK_HOME));
        EXPECT_EQ(driver.node(send).first_column, 0);
        ASSERT_TRUE(driver.key(VK_DELETE));
        ASSERT_TRUE(driver.key(VK_END));
        ASSERT_TRUE(driver.key(VK_BACK));
        EXPECT_EQ(driver.text(send), typed.substr(1, 38));
        // Every change told the dialog, with the code in the high word.
        auto got = notifications(send);
        size_t changes = static_cast<size_t>(std::count(got.begin(), got.end(), std::pair{kSendText, EN_CHANGE}));
        EXPECT_EQ(changes, 42u);
        // Setting the text: caret and view back at the start, one EN_CHANGE.
        SetDlgItemTextW(dlg, kSendText, u"");
        EXPECT_EQ(driver.node(send).first_column, 0);
        EXPECT_EQ(driver.node(send).caret, 0);
        got = notifications(send);
        EXPECT_EQ(std::count(got.begin(), got.end(), std::pair{kSendText, EN_CHANGE}), 1);
    });
}

TEST(Edit, MultiLineWrapsAndScrollsVertically) {
    with_dialog(kMain, [](Driver &driver, HWND dlg) {
        HWND recv = GetDlgItem(dlg, kRecvText);
        // 120 units less border and scroll bar: 28 columns; 55 units: 6 rows.
        std::u16string text;
        for (int i = 0; i < 9; ++i) text += u"line" + std::u16string(1, char16_t(u'0' + i)) + u"\r\n";
        text += std::u16string(60, u'x');  // wraps into 28 + 28 + 4
        SetDlgItemTextW(dlg, kRecvText, text.c_str());
        auto node = driver.node(recv);
        ASSERT_EQ(node.lines.size(), 12u);
        EXPECT_EQ(node.lines[0], u"line0");
        EXPECT_EQ(node.lines[9], std::u16string(28, u'x'));
        EXPECT_EQ(node.lines[11], std::u16string(4, u'x'));
        EXPECT_EQ(node.first_line, 0) << "setting the text does not scroll";
        EXPECT_EQ(notifications(recv), (std::vector<std::pair<int, int>>{})) << "no EN_CHANGE for a multi-line set";
        EXPECT_EQ(SendMessageW(recv, EM_GETLINECOUNT, 0, 0), 12);
        // The caret at the end brings the last rows into view.
        SendMessageW(recv, EM_SETSEL, text.size(), text.size());
        SendMessageW(recv, EM_SCROLLCARET, 0, 0);
        EXPECT_EQ(driver.node(recv).first_line, 12 - 6);
        ASSERT_TRUE(driver.click(recv));
        ASSERT_TRUE(driver.key(VK_HOME));
        for (int i = 0; i < 8; ++i) ASSERT_TRUE(driver.key(VK_UP));
        EXPECT_EQ(driver.node(recv).caret, 0) << "up to the first line";
        EXPECT_EQ(driver.node(recv).first_line, 0) << "scrolled back with the caret";
        ASSERT_TRUE(driver.type(u"!"));
        EXPECT_NE(driver.text(recv).find(u"!"), std::u16string::npos) << "not read-only: typing goes in";
        // Enter without ES_WANTRETURN goes to the dialog's default button (EXIT).
        recorder().take();
        ASSERT_TRUE(driver.key(VK_RETURN));
        auto cmds = recorder().take({WM_COMMAND});
        ASSERT_FALSE(cmds.empty());
        EXPECT_EQ(cmds.back().wp, static_cast<WPARAM>(IDCANCEL));
    });
}

TEST(Edit, ReadOnlyCentredFieldTakesNoTyping) {
    with_dialog(kSettings, [](Driver &driver, HWND dlg) {
        HWND port = GetDlgItem(dlg, kPort);
        SetDlgItemTextW(dlg, kPort, u"Port Assignment >> COM5");
        auto node = driver.node(port);
        EXPECT_TRUE(node.style & ES_CENTER);
        EXPECT_TRUE(node.style & ES_READONLY);
        recorder().take();
        ASSERT_TRUE(driver.click(port));
        EXPECT_EQ(driver.focus(), port) << "it can be focused by a click, like a read-only field";
        ASSERT_TRUE(driver.type(u"abc"));
        ASSERT_TRUE(driver.key(VK_BACK));
        ASSERT_TRUE(driver.key(VK_DELETE));
        EXPECT_EQ(driver.text(port), u"Port Assignment >> COM5");
        auto got = notifications(port);
        EXPECT_EQ(std::count(got.begin(), got.end(), std::pair{kPort, EN_CHANGE}), 0);
        // The program can still write it.
        SendMessageW(port, EM_SETSEL, 0, -1);
        SendMessageW(port, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(u"x"));
        EXPECT_EQ(driver.text(port), u"x");
    });
}

}  // namespace

// The whole terminal in-process: the main dialog from the program's template
// on a user-interface thread, the adapter in the registry, its COM port a
// pseudo-terminal with a peer, and the headless driver as the user.
#include "terminal_test_support.h"

#include <stdlib.h>
#include <string.h>
#include <termios.h>

#include <string>
#include <vector>

using ce::test::PtyPair;
using ce::ui::Driver;
using namespace terminal_test;

namespace {

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override { ResetTerminalState(); }

    void TearDown() override
    {
        // A program that ended without closing its port (CANCEL) leaves it to
        // the process; close it here so the next test can open it
        StopWorker();
        ClosePort();
    }

    // The adapter in the active-driver table as COMn:, its port the pseudo-terminal.
    static void InsertAdapterOn(PtyPair &pty, int com)
    {
        WCHAR name[16];
        wsprintfW(name, TEXT("COM%d:"), com);
        InsertAdapter(name);
        pty.map_com(com);
    }

    // Starts the terminal on its own thread.
    void Start()
    {
        ui = std::make_unique<UiThread>([] { return RunTerminal(GetModuleHandleW(NULL)); });
    }

    // The main dialog once the first settings are confirmed with "OK".
    HWND StartAndConfirm()
    {
        Start();
        HWND main = ConfirmFirstSettings(driver);
        ui->anchor(main);
        return main;
    }

    // The message box shown now: its caption, text and icon.
    struct Box {
        std::u16string caption, text;
        UINT icon = 0;
    };
    Box AnswerMessageBox()
    {
        Box box;
        HWND hwnd = driver.wait_message_box();
        if (hwnd == NULL) {
            ADD_FAILURE() << "no message box";
            return box;
        }
        box.caption = driver.text(hwnd);
        box.text = driver.message_text(hwnd);
        box.icon = driver.node(hwnd).icon;
        EXPECT_TRUE(driver.answer(hwnd, IDOK));
        return box;
    }

    std::u16string Received(HWND main) { return driver.text(driver.control(main, IDC_RECV_TEXT)); }

    bool Ended() { return WaitFor([&] { return ui->done(); }); }

    ce::test::TempRoot root;
    Driver driver;
    std::unique_ptr<UiThread> ui;
};

// Find, open, settings, start, send, receive, clear, setting, exit.
TEST_F(MainDialog, MainRoad) {
    PtyPair pty(PtyPair::Peer::Echo);
    InsertAdapterOn(pty, 5);
    Start();

    // The settings dialog opens by itself, over the main dialog, with the
    // port and the defaults; "Setting" waits until they are confirmed
    HWND settings = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(settings, nullptr);
    HWND main = GetParent(settings);
    ui->anchor(main);
    EXPECT_EQ(driver.text(driver.control(settings, IDC_PORT)), u"Port Assignment >> COM5");
    EXPECT_FALSE(driver.enabled(driver.control(main, IDC_SETTING)));

    // Choose 19200 from the opened list, then OK
    HWND baud = driver.control(settings, IDC_BAUD);
    ASSERT_TRUE(driver.click(baud));
    ASSERT_TRUE(driver.click(baud, 8));
    EXPECT_EQ(driver.text(baud), u"19200");
    ASSERT_TRUE(driver.answer(settings, IDOK));
    ASSERT_EQ(driver.wait_dialog(u" TRV-PA0x SAMPLE"), main);
    EXPECT_TRUE(driver.enabled(driver.control(main, IDC_SETTING)));
    EXPECT_TRUE(driver.node(main).menu_bar) << "the empty menu bar";
    termios tio;
    ASSERT_EQ(tcgetattr(pty.far_fd(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), (speed_t)B19200) << "the settings reached the port";

    // Send a text: the peer echoes it into "Receive Data"
    ASSERT_TRUE(driver.click(driver.control(main, IDC_SEND_TEXT)));
    ASSERT_TRUE(driver.type(u"hello"));
    ASSERT_TRUE(driver.click(driver.control(main, IDC_SEND)));
    EXPECT_EQ(g_terminal.sendRequest.load(), 0) << "Send returns once the text is written";
    EXPECT_TRUE(WaitFor([&] { return Received(main) == u"hello"; })) << "shown: " << Narrow(Received(main));
    EXPECT_EQ(driver.text(driver.control(main, IDC_SEND_TEXT)), u"hello") << "the field keeps its text";

    // Clear empties both fields and the worker goes on
    ASSERT_TRUE(driver.click(driver.control(main, IDC_CLEAR)));
    EXPECT_EQ(driver.text(driver.control(main, IDC_SEND_TEXT)), u"");
    EXPECT_EQ(Received(main), u"");
    EXPECT_NE(g_terminal.worker, nullptr);
    pty.send("again");
    EXPECT_TRUE(WaitFor([&] { return Received(main) == u"again"; })) << "shown: " << Narrow(Received(main));

    // Setting stops the worker, empties the fields and reopens the settings,
    // which show the choice confirmed before; the same port stays open
    HANDLE port = g_terminal.port;
    ASSERT_TRUE(driver.click(driver.control(main, IDC_SETTING)));
    settings = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(g_terminal.worker, nullptr);
    EXPECT_EQ(Received(main), u"");
    EXPECT_EQ(driver.text(driver.control(main, IDC_SEND_TEXT)), u"");
    EXPECT_EQ(driver.text(driver.control(settings, IDC_BAUD)), u"19200");
    ASSERT_TRUE(driver.click(driver.control(settings, IDC_DEFAULT)));
    ASSERT_TRUE(driver.answer(settings, IDOK));
    ASSERT_EQ(driver.wait_dialog(u" TRV-PA0x SAMPLE"), main);
    EXPECT_EQ(g_terminal.port, port);
    ASSERT_EQ(tcgetattr(pty.far_fd(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), (speed_t)B9600);
    pty.send("third");
    EXPECT_TRUE(WaitFor([&] { return Received(main) == u"third"; })) << "shown: " << Narrow(Received(main));

    // EXIT stops the worker, closes the port and ends the program
    ASSERT_TRUE(driver.answer(main, IDCANCEL));
    ASSERT_TRUE(Ended());
    EXPECT_EQ(ui->join(), 0);
    EXPECT_EQ(g_terminal.port, nullptr);
    EXPECT_EQ(g_terminal.worker, nullptr);
}

// Only ports 1 to 10 are taken; anything else is "not found" and the
// program ends without opening a port.
TEST_F(MainDialog, PortNumbersOutsideOneToTenAreNotFound) {
    struct Case {
        const char *name;
        const char16_t *deviceName;  // null: no adapter listed
        bool found;
    };
    static const Case cases[] = {
        {"no adapter", nullptr, false},
        {"COM0:", u"COM0:", false},
        {"COM11:", u"COM11:", false},
        {"COM10:", u"COM10:", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ce::test::TempRoot caseRoot;
        ResetTerminalState();
        PtyPair pty(PtyPair::Peer::Record);
        pty.map_com(10);
        pty.map_com(11);
        if (c.deviceName != nullptr) {
            InsertAdapter(c.deviceName);
        }
        Start();
        if (c.found) {
            HWND settings = driver.wait_dialog(u" COM Port Setting");
            ASSERT_NE(settings, nullptr);
            EXPECT_EQ(driver.text(driver.control(settings, IDC_PORT)), u"Port Assignment >> COM10");
            EXPECT_NE(g_terminal.port, nullptr);
            ASSERT_TRUE(driver.answer(settings, IDCANCEL));
        } else {
            Box box = AnswerMessageBox();
            EXPECT_EQ(box.caption, u"TRV-PA0x SAMPLE");
            EXPECT_EQ(box.text, u"ERROR: Device Not Found.");
            EXPECT_EQ(box.icon, (UINT)MB_ICONHAND);
            EXPECT_EQ(g_terminal.port, nullptr);
        }
        ASSERT_TRUE(Ended());
        ui.reset();
        ClosePort();
    }
}

// A port that cannot be opened: the message carries the platform's code and
// the program ends.
TEST_F(MainDialog, OpenFailureShowsThePlatformCode) {
    struct Case {
        const char *name;
        bool mapped, busy;
        const char16_t *message;
    };
    static const Case cases[] = {
        {"COM5 is mapped to nothing", false, false, u"ERROR: COM Port Open Failure. [code 2]"},
        {"COM5 is held by someone else", true, true, u"ERROR: COM Port Open Failure. [code 5]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ce::test::TempRoot caseRoot;
        ResetTerminalState();
        PtyPair pty(PtyPair::Peer::Record);
        InsertAdapter(u"COM5:");
        if (c.mapped) {
            pty.map_com(5);
        }
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (c.busy) {
            holder = CreateFileW(u"COM5:", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        }
        Start();
        Box box = AnswerMessageBox();
        EXPECT_EQ(box.caption, u"TRV-PA0x SAMPLE");
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(box.icon, (UINT)MB_ICONHAND);
        ASSERT_TRUE(Ended());
        EXPECT_EQ(g_terminal.port, nullptr);
        if (holder != INVALID_HANDLE_VALUE) {
            CloseHandle(holder);
        }
        ui.reset();
    }
}

// Settings the port refuses: the message, then the settings dialog again,
// with the port still open and no worker; once they can be applied, the
// worker runs on the same port.
TEST_F(MainDialog, SettingsThatCannotBeAppliedReopenTheDialog) {
    PtyPair pty(PtyPair::Peer::Echo);
    InsertAdapterOn(pty, 5);
    Start();
    HWND settings = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(settings, nullptr);
    HWND main = GetParent(settings);
    ui->anchor(main);
    HANDLE port = g_terminal.port;

    g_terminal.commState.DCBlength = 0;  // a record the port refuses
    ASSERT_TRUE(driver.answer(settings, IDOK));
    Box box = AnswerMessageBox();
    EXPECT_EQ(box.caption, u"TRV-PA0x SAMPLE");
    EXPECT_EQ(box.text, u"ERROR: 'SetCommState()' Function Failed. [code 87]");
    EXPECT_EQ(box.icon, (UINT)MB_ICONEXCLAMATION);

    settings = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(settings, nullptr) << "the settings dialog opens again";
    EXPECT_EQ(g_terminal.worker, nullptr);
    EXPECT_EQ(g_terminal.running.load(), 0);
    EXPECT_EQ(g_terminal.port, port);
    EXPECT_TRUE(driver.enabled(driver.control(main, IDC_SETTING))) << "Setting stays enabled";

    g_terminal.commState.DCBlength = sizeof(DCB);
    ASSERT_TRUE(driver.answer(settings, IDOK));
    ASSERT_EQ(driver.wait_dialog(u" TRV-PA0x SAMPLE"), main);
    EXPECT_NE(g_terminal.worker, nullptr);
    EXPECT_EQ(g_terminal.port, port);
    pty.send("ok");
    EXPECT_TRUE(WaitFor([&] { return Received(main) == u"ok"; }));
    ASSERT_TRUE(driver.answer(main, IDCANCEL));
    ASSERT_TRUE(Ended());
}

// CANCEL in the first settings dialog ends the program; the port is left to
// the process to close.
TEST_F(MainDialog, CancelInTheFirstSettingsEndsTheProgram) {
    PtyPair pty(PtyPair::Peer::Record);
    InsertAdapterOn(pty, 5);
    Start();
    HWND settings = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(settings, nullptr);
    ui->anchor(GetParent(settings));
    ASSERT_TRUE(driver.answer(settings, IDCANCEL));
    ASSERT_TRUE(Ended());
    EXPECT_EQ(ui->join(), 0);
    EXPECT_EQ(g_terminal.worker, nullptr);
    EXPECT_NE(g_terminal.port, nullptr) << "not closed by the program";
    EXPECT_EQ(g_terminal.firstSettings, 0);
}

// Posts a received chunk to the dialog the way the worker does.
void PostChunk(HWND main, const std::string &bytes)
{
    HLOCAL block = LocalAlloc(LMEM_ZEROINIT, bytes.size());
    ASSERT_NE(block, nullptr);
    memcpy(block, bytes.data(), bytes.size());
    ASSERT_TRUE(PostMessageW(main, WM_RXDATA, (WPARAM)block, (LPARAM)bytes.size()));
}

// In a single-byte code page every byte is one character; the receive field
// is emptied when the shown text plus the chunk's byte count would reach
// 1024, and a zero byte ends the chunk's text but not its count.
TEST_F(MainDialog, ReceivedChunksAndTheDisplayLimit) {
    setenv("CE_CODEPAGE", "1252", 1);
    PtyPair pty(PtyPair::Peer::Record);
    InsertAdapterOn(pty, 5);
    HWND main = StartAndConfirm();
    ASSERT_NE(main, nullptr);

    std::string high;  // 256 bytes from 0xa0 to 0xff
    for (int i = 0; i < 256; i++) {
        high += (char)(0xa0 + i % 0x60);
    }
    struct Case {
        const char *name;
        size_t shownBefore;
        std::string chunk;
        size_t shownAfter;      // characters in the field after the chunk
        bool cleared;           // the earlier text was dropped
    };
    const Case cases[] = {
        {"994 shown + 30 reaches 1024", 994, std::string(30, 'n'), 30, true},
        {"993 shown + 30 fits", 993, std::string(30, 'n'), 1023, false},
        {"256 bytes above 0x9f", 0, high, 256, false},
        {"a zero byte, counted in full", 990, std::string("AB\0", 3) + std::string(31, 'z'), 2, true},
        {"a zero byte in a chunk that fits", 10, std::string("AB\0CD", 5), 12, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(driver.click(driver.control(main, IDC_CLEAR)));
        for (size_t left = c.shownBefore; left > 0;) {
            size_t n = left < 256 ? left : 256;
            PostChunk(main, std::string(n, 'o'));
            left -= n;
        }
        PostChunk(main, c.chunk);
        ASSERT_TRUE(driver.click(driver.control(main, IDC_SEND_TEXT)));  // after the posted chunks
        std::u16string shown = Received(main);
        EXPECT_EQ(shown.size(), c.shownAfter);
        EXPECT_EQ(shown.size() > 0 && shown[0] == u'o', !c.cleared && c.shownBefore > 0);
        if (c.chunk == high) {
            EXPECT_EQ(shown[0x49], u'\u00e9') << "0xe9 is e acute";
            EXPECT_EQ(shown[255], u'\u00df') << "byte 0xdf";
        }
    }
    ASSERT_TRUE(driver.answer(main, IDCANCEL));
    ASSERT_TRUE(Ended());
    ui.reset();
    unsetenv("CE_CODEPAGE");
}

// Only the first 256 characters of the send field are taken, and at most
// 256 bytes of their conversion go out.
TEST_F(MainDialog, SendTakesAtMost256CharactersAnd256Bytes) {
    struct Case {
        const char *name;
        std::u16string field;
        std::string atPeer;
    };
    std::string eAcute256;
    for (int i = 0; i < 128; i++) {
        eAcute256 += "\xc3\xa9";
    }
    const Case cases[] = {
        {"300 ASCII characters", std::u16string(300, u'a'), std::string(256, 'a')},
        {"300 two-byte characters in UTF-8", std::u16string(300, u'\u00e9'), eAcute256},
        {"an empty field", u"", ""},
    };
    PtyPair pty(PtyPair::Peer::Record);
    InsertAdapterOn(pty, 5);
    HWND main = StartAndConfirm();
    ASSERT_NE(main, nullptr);
    std::string all;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HWND field = driver.control(main, IDC_SEND_TEXT);
        ASSERT_TRUE(driver.click(driver.control(main, IDC_CLEAR)));
        ASSERT_TRUE(driver.click(field));
        ASSERT_TRUE(driver.type(c.field));
        ASSERT_TRUE(driver.click(driver.control(main, IDC_SEND)));
        EXPECT_EQ(g_terminal.sendRequest.load(), 0);
        all += c.atPeer;
        EXPECT_TRUE(pty.wait_received(all.size()));
        WaitFor([] { return false; }, 50);
        EXPECT_EQ(pty.received(), all);
    }
    ASSERT_TRUE(driver.answer(main, IDCANCEL));
    ASSERT_TRUE(Ended());
}

// "Send" pressed again while the earlier text is still held by flow control:
// the earlier text is not changed under its write, the new one is not sent,
// and once the line is released the earlier text goes out whole.
TEST_F(MainDialog, SendWhileAnEarlierWriteIsHeldNeverChangesItsText) {
    PtyPair pty(PtyPair::Peer::Record);
    InsertAdapterOn(pty, 5);
    Start();
    HWND settings = driver.wait_dialog(u" COM Port Setting");
    ASSERT_NE(settings, nullptr);
    HWND main = GetParent(settings);
    ui->anchor(main);
    HWND flow = driver.control(settings, IDC_FLOW);
    SendDlgItemMessageW(settings, IDC_FLOW, CB_SETCURSEL, 1, 0);  // Xon/Xoff
    EXPECT_EQ(driver.text(flow), u"Xon/Xoff");
    ASSERT_TRUE(driver.answer(settings, IDOK));
    ASSERT_EQ(driver.wait_dialog(u" TRV-PA0x SAMPLE"), main);

    pty.send("\x13");  // XOFF
    WaitFor([] { return false; }, 50);
    HWND field = driver.control(main, IDC_SEND_TEXT);
    ASSERT_TRUE(driver.click(field));
    ASSERT_TRUE(driver.type(u"first"));
    ASSERT_TRUE(driver.click(driver.control(main, IDC_SEND)));  // gives up after 5 s
    EXPECT_EQ(g_terminal.sendRequest.load(), 1) << "the write is still held";

    ASSERT_TRUE(driver.click(driver.control(main, IDC_CLEAR)));
    ASSERT_TRUE(driver.click(field));
    ASSERT_TRUE(driver.type(u"second"));
    ASSERT_TRUE(driver.click(driver.control(main, IDC_SEND)));  // waits for the first, gives up
    EXPECT_EQ(std::string(g_terminal.sendText), "first");
    EXPECT_EQ(pty.received(), "");

    pty.send("\x11");  // XON: the held text goes out, whole
    ASSERT_TRUE(pty.wait_received(5));
    EXPECT_TRUE(WaitFor([] { return g_terminal.sendRequest.load() == 0; }));
    ASSERT_TRUE(driver.click(driver.control(main, IDC_SEND)));
    ASSERT_TRUE(pty.wait_received(11));
    EXPECT_EQ(pty.received(), "firstsecond");
    ASSERT_TRUE(driver.answer(main, IDCANCEL));
    ASSERT_TRUE(Ended());
}

}  // namespace

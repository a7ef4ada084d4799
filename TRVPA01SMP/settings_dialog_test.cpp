// The settings dialog, run from the program's own template on a
// user-interface thread and answered through the headless driver.
#include "terminal_test_support.h"

#include <string.h>

#include <cstdio>
#include <vector>

using ce::ui::Driver;
using namespace terminal_test;

namespace {

const int kLists[SELECTION_COUNT] = {IDC_BAUD, IDC_DATABITS, IDC_PARITY, IDC_STOPBITS, IDC_FLOW};

// Offsets of the comm state record's fields, as the platform lays them out.
enum : size_t {
    kBaudRate = 4, kFlags = 8, kXonLim = 14, kXoffLim = 16, kByteSize = 18, kParity = 19,
    kStopBits = 20, kXonChar = 21, kXoffChar = 22, kEofChar = 24,
};

struct Bytes {
    unsigned char b[sizeof(DCB)];
};

Bytes Filled(unsigned char fill)
{
    Bytes bytes;
    memset(bytes.b, fill, sizeof(bytes.b));
    return bytes;
}

template <class T>
void Put(Bytes &bytes, size_t offset, T value)
{
    memcpy(bytes.b + offset, &value, sizeof(value));
}

std::string Hex(const Bytes &bytes)
{
    std::string out;
    char part[4];
    for (unsigned char c : bytes.b) {
        snprintf(part, sizeof(part), "%02x ", c);
        out += part;
    }
    return out;
}

// Runs the settings dialog over a window of the user-interface thread, as
// the main dialog would; `drive` works it once it is up. Returns what
// ShowSettings returned.
const UINT kDone = WM_APP + 7;

int RunSettings(Driver &driver, const std::function<void(HWND)> &drive)
{
    std::atomic<int> result{-100};
    std::atomic<HWND> owner{nullptr};
    UiThread ui([&] {
        owner = CreateWindowExW(0, u"terminal owner", u"", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
        result = (int)ShowSettings(owner);
        // Go on taking messages, as the main dialog's thread would
        MSG msg;
        while (GetMessageW(&msg, NULL, 0, 0) > 0 && msg.message != kDone) {
            DispatchMessageW(&msg);
        }
        DestroyWindow(owner);
        return 0;
    });
    HWND dialog = driver.wait_dialog(u" COM Port Setting");
    ui.anchor(owner);
    if (dialog == NULL) {
        ADD_FAILURE() << "the settings dialog did not open";
        return -100;
    }
    drive(dialog);
    EXPECT_TRUE(WaitFor([&] { return result != -100; })) << "the dialog did not end";
    PostMessageW(owner, kDone, 0, 0);
    ui.join();
    return result;
}

void Select(HWND dialog, const LONG *indices)
{
    for (int i = 0; i < SELECTION_COUNT; i++) {
        SendDlgItemMessageW(dialog, kLists[i], CB_SETCURSEL, (WPARAM)indices[i], 0);
    }
}

std::vector<std::u16string> ShownTexts(Driver &driver, HWND dialog)
{
    std::vector<std::u16string> texts;
    for (int id : kLists) {
        texts.push_back(driver.text(driver.control(dialog, id)));
    }
    return texts;
}

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTerminalState();
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc;
            memset(&wc, 0, sizeof(wc));
            wc.lpfnWndProc = DefWindowProcW;
            wc.lpszClassName = u"terminal owner";
            ASSERT_NE(RegisterClassW(&wc), 0);
            registered = true;
        }
    }
    ce::test::TempRoot root;
    Driver driver;
};

// "OK" writes the chosen entries into the record and changes nothing else:
// the record is filled with 0x00 and with 0xff beforehand, and every byte is
// compared with what the choice must give.
TEST_F(SettingsDialog, OkWritesTheChoiceAndKeepsEveryOtherField) {
    struct Case {
        const char *name;
        LONG selections[SELECTION_COUNT];
        DWORD baud;
        BYTE byteSize, parity, stopBits;
        DWORD flagsFrom00, flagsFromFf;  // the flag word after "OK"
        bool xonXoff;                    // the Xon/Xoff characters and limits are written
    };
    static const Case cases[] = {
        {"defaults", {6, 3, 0, 0, 0}, 9600, 8, 0, 0, 0x00000000, 0xffffccff, false},
        {"110 5 even 1.5 xon/xoff", {0, 0, 1, 1, 1}, 110, 5, 2, 1, 0x00000300, 0xffffcf7f, true},
        {"115200 7 odd 2 hardware", {11, 2, 2, 2, 2}, 115200, 7, 1, 2, 0x00002000, 0xffffecff, false},
        {"14400 6 none 1 none", {7, 1, 0, 0, 0}, 14400, 6, 0, 0, 0x00000000, 0xffffccff, false},
        {"57600 8 even 2 hardware", {10, 3, 1, 2, 2}, 57600, 8, 2, 2, 0x00002000, 0xffffecff, false},
    };
    for (const Case &c : cases) {
        for (unsigned char fill : {0x00, 0xff}) {
            SCOPED_TRACE(std::string(c.name) + (fill ? " over 0xff" : " over 0x00"));
            ResetTerminalState();
            g_terminal.firstSettings = 0;
            memset(&g_terminal.commState, fill, sizeof(DCB));

            int result = RunSettings(driver, [&](HWND dialog) {
                Select(dialog, c.selections);
                EXPECT_TRUE(driver.answer(dialog, IDOK));
            });
            EXPECT_EQ(result, 1);

            Bytes expected = Filled(fill);
            Put<DWORD>(expected, kBaudRate, c.baud);
            Put<DWORD>(expected, kFlags, fill ? c.flagsFromFf : c.flagsFrom00);
            Put<BYTE>(expected, kByteSize, c.byteSize);
            Put<BYTE>(expected, kParity, c.parity);
            Put<BYTE>(expected, kStopBits, c.stopBits);
            Put<BYTE>(expected, kEofChar, 0);
            if (c.xonXoff) {
                Put<WORD>(expected, kXonLim, 4);
                Put<WORD>(expected, kXoffLim, 12);
                Put<BYTE>(expected, kXonChar, 0x11);
                Put<BYTE>(expected, kXoffChar, 0x13);
            }
            Bytes actual;
            memcpy(actual.b, &g_terminal.commState, sizeof(DCB));
            EXPECT_EQ(Hex(actual), Hex(expected));
            for (int i = 0; i < SELECTION_COUNT; i++) {
                EXPECT_EQ(g_terminal.savedSelections[i], c.selections[i]) << "list " << i;
            }
        }
    }
}

// Xon/Xoff writes its characters and limits; a later "None" or "Hardware"
// clears only the two Xon/Xoff flags and leaves those five fields.
TEST_F(SettingsDialog, LeavingXonXoffKeepsItsCharactersAndLimits) {
    for (LONG flow : {0, 2}) {
        SCOPED_TRACE(flow == 0 ? "then None" : "then Hardware");
        ResetTerminalState();
        g_terminal.firstSettings = 0;
        memset(&g_terminal.commState, 0, sizeof(DCB));
        g_terminal.commState.fTXContinueOnXoff = 1;
        const LONG xon[SELECTION_COUNT] = {6, 3, 0, 0, 1};
        RunSettings(driver, [&](HWND dialog) {
            Select(dialog, xon);
            driver.answer(dialog, IDOK);
        });
        EXPECT_EQ(g_terminal.commState.fTXContinueOnXoff, 0u);
        const LONG other[SELECTION_COUNT] = {6, 3, 0, 0, flow};
        RunSettings(driver, [&](HWND dialog) {
            Select(dialog, other);
            driver.answer(dialog, IDOK);
        });
        const DCB &s = g_terminal.commState;
        EXPECT_EQ(s.fOutX, 0u);
        EXPECT_EQ(s.fInX, 0u);
        EXPECT_EQ(s.fRtsControl, flow == 2 ? 2u : 0u);
        EXPECT_EQ(s.XonChar, 0x11);
        EXPECT_EQ(s.XoffChar, 0x13);
        EXPECT_EQ(s.XonLim, 4);
        EXPECT_EQ(s.XoffLim, 12);
        EXPECT_EQ(s.fTXContinueOnXoff, 0u);
    }
}

// The first opening shows the default choice and the port; firstSettings
// falls to 0 even when the user cancels, and nothing is stored.
TEST_F(SettingsDialog, FirstOpeningShowsTheDefaultsAndCancelStoresNothing) {
    wcscpy(g_terminal.portLabel, TEXT("COM10"));
    const LONG sentinel[SELECTION_COUNT] = {77, 77, 77, 77, 77};
    memcpy(g_terminal.savedSelections, sentinel, sizeof(sentinel));
    memset(&g_terminal.commState, 0x5a, sizeof(DCB));

    std::vector<std::u16string> shown;
    std::u16string port;
    int result = RunSettings(driver, [&](HWND dialog) {
        shown = ShownTexts(driver, dialog);
        port = driver.text(driver.control(dialog, IDC_PORT));
        driver.answer(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(port, u"Port Assignment >> COM10");
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"9600", u"8", u"None", u"1", u"None"}));
    EXPECT_EQ(g_terminal.firstSettings, 0);
    EXPECT_EQ(memcmp(g_terminal.savedSelections, sentinel, sizeof(sentinel)), 0);
    Bytes untouched = Filled(0x5a);
    EXPECT_EQ(memcmp(&g_terminal.commState, untouched.b, sizeof(DCB)), 0);
}

// Later openings show the last confirmed choice. "Default" selects the
// defaults in the lists only: with "CANCEL" after it nothing is stored, with
// "OK" the defaults are stored like any choice.
TEST_F(SettingsDialog, DefaultChangesOnlyTheListsUntilOk) {
    struct Case {
        const char *name;
        int closeWith;
        LONG storedAfter[SELECTION_COUNT];
        DWORD baudAfter;
    };
    static const Case cases[] = {
        {"Default then CANCEL", IDCANCEL, {11, 0, 2, 2, 2}, 1234},
        {"Default then OK", IDOK, {6, 3, 0, 0, 0}, 9600},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetTerminalState();
        g_terminal.firstSettings = 0;
        const LONG saved[SELECTION_COUNT] = {11, 0, 2, 2, 2};
        memcpy(g_terminal.savedSelections, saved, sizeof(saved));
        g_terminal.commState.BaudRate = 1234;

        std::vector<std::u16string> before, afterDefault;
        RunSettings(driver, [&](HWND dialog) {
            before = ShownTexts(driver, dialog);
            EXPECT_TRUE(driver.click(driver.control(dialog, IDC_DEFAULT)));
            EXPECT_EQ(driver.active(), dialog) << "the dialog stays open";
            afterDefault = ShownTexts(driver, dialog);
            driver.answer(dialog, c.closeWith);
        });
        EXPECT_EQ(before, (std::vector<std::u16string>{u"115200", u"5", u"Odd", u"2", u"Hardware"}));
        EXPECT_EQ(afterDefault, (std::vector<std::u16string>{u"9600", u"8", u"None", u"1", u"None"}));
        for (int i = 0; i < SELECTION_COUNT; i++) {
            EXPECT_EQ(g_terminal.savedSelections[i], c.storedAfter[i]) << "list " << i;
        }
        EXPECT_EQ(g_terminal.commState.BaudRate, c.baudAfter);
        EXPECT_EQ(g_terminal.firstSettings, 0);
    }
}

// A text typed into a list's edit field selects nothing: -1 is stored, the
// field it stands for keeps its value, and the next opening shows that list
// without a selection.
TEST_F(SettingsDialog, TypedTextThatIsInNoListChangesNothing) {
    g_terminal.firstSettings = 0;
    const LONG saved[SELECTION_COUNT] = {6, 3, 0, 0, 1};
    memcpy(g_terminal.savedSelections, saved, sizeof(saved));
    memset(&g_terminal.commState, 0, sizeof(DCB));
    g_terminal.commState.BaudRate = 4321;
    g_terminal.commState.fOutX = 1;
    g_terminal.commState.fRtsControl = 1;

    RunSettings(driver, [&](HWND dialog) {
        EXPECT_TRUE(driver.click(driver.control(dialog, IDC_BAUD)));
        EXPECT_TRUE(driver.type(u"7"));
        EXPECT_TRUE(driver.click(driver.control(dialog, IDC_FLOW)));
        EXPECT_TRUE(driver.type(u"q"));
        driver.answer(dialog, IDOK);
    });
    EXPECT_EQ(g_terminal.savedSelections[SEL_BAUD], -1);
    EXPECT_EQ(g_terminal.savedSelections[SEL_FLOW], -1);
    EXPECT_EQ(g_terminal.commState.BaudRate, 4321u) << "no entry was chosen";
    EXPECT_EQ(g_terminal.commState.fOutX, 1u) << "an unknown flow control changes nothing";
    EXPECT_EQ(g_terminal.commState.fRtsControl, 1u);
    EXPECT_EQ(g_terminal.commState.ByteSize, 8);

    std::vector<std::u16string> shown;
    RunSettings(driver, [&](HWND dialog) {
        shown = ShownTexts(driver, dialog);
        driver.answer(dialog, IDCANCEL);
    });
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"", u"8", u"None", u"1", u""}));
}

}  // namespace

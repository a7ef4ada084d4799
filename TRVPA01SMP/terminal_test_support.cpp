#include "terminal_test_support.h"

#include <string.h>

namespace terminal_test {

void ResetTerminalState()
{
    TerminalState &s = g_terminal;
    s.instance = GetModuleHandleW(NULL);
    s.portNumber = 0;
    memset(s.portLabel, 0, sizeof(s.portLabel));
    wcscpy(s.portLabel, TEXT("COM"));
    s.port = NULL;
    memset(&s.commState, 0, sizeof(s.commState));
    s.worker = NULL;
    s.stoppedWorker = NULL;
    s.running.store(0);
    s.sendRequest.store(0);
    memset(s.sendText, 0, sizeof(s.sendText));
    memset(s.sendFieldCopy, 0, sizeof(s.sendFieldCopy));
    memset(s.rxChunk, 0, sizeof(s.rxChunk));
    memset(s.rxDisplay, 0, sizeof(s.rxDisplay));
    memset(s.savedSelections, 0, sizeof(s.savedSelections));
    s.firstSettings = 1;
}

static void SetString(HKEY key, const char16_t *name, const std::u16string &value)
{
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, (const BYTE *)value.c_str(),
                             (DWORD)((value.size() + 1) * sizeof(char16_t))),
              ERROR_SUCCESS);
}

void InsertAdapter(const std::u16string &deviceName)
{
    HKEY key = NULL;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Active\\02", 0, NULL, 0, KEY_ALL_ACCESS,
                              NULL, &key, NULL),
              ERROR_SUCCESS);
    SetString(key, u"PnpId", u"KESTROW_DEVICE_LABS-TRV-PA01-5A3C");
    SetString(key, u"Name", deviceName);
    RegCloseKey(key);
}

UiThread::UiThread(std::function<int()> body)
{
    thread_ = std::thread([this, body] {
        started_ = true;
        result_ = body();
        done_ = true;
    });
    while (!started_) {
        std::this_thread::yield();
    }
}

UiThread::~UiThread()
{
    if (thread_.joinable()) {
        HWND anchor = anchor_;
        if (!done_ && anchor != NULL) {
            PostThreadMessageW(GetWindowThreadProcessId(anchor, NULL), WM_QUIT, 0, 0);
        }
        thread_.join();
    }
}

int UiThread::join()
{
    thread_.join();
    return result_;
}

bool WaitFor(const std::function<bool()> &condition, int timeout_ms)
{
    auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

HWND ConfirmFirstSettings(ce::ui::Driver &driver)
{
    HWND settings = driver.wait_dialog(u" COM Port Setting");
    if (settings == NULL) {
        ADD_FAILURE() << "the settings dialog did not open";
        return NULL;
    }
    HWND main = GetParent(settings);
    EXPECT_TRUE(driver.answer(settings, IDOK));
    EXPECT_EQ(driver.wait_dialog(u" TRV-PA0x SAMPLE"), main);
    return main;
}

std::string Narrow(const std::u16string &text)
{
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xE0 | (c >> 12));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace terminal_test

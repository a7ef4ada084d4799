// Helpers for the terminal's tests: a fresh state record, the adapter listed
// in the active-driver table, the program's user-interface thread, and waits
// that give up instead of hanging.
#pragma once

#include "terminal.h"
#include "testsupport/pty_pair.h"
#include "testsupport/temp_root.h"
#include "ui/headless/driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace terminal_test {

// The state record as a fresh process holds it, with this program's
// resources as its instance.
void ResetTerminalState();

// Lists the adapter (a matching Plug-and-Play id) in the active-driver table
// under the given device name, e.g. u"COM5:".
void InsertAdapter(const std::u16string &deviceName);

// The user-interface thread of the program under test. A thread still running
// at destruction is told to quit, so that a failing test ends.
class UiThread {
public:
    explicit UiThread(std::function<int()> body);
    ~UiThread();
    UiThread(const UiThread &) = delete;
    UiThread &operator=(const UiThread &) = delete;
    // Waits for the thread to end and returns what its body returned.
    int join();
    bool done() const { return done_; }
    // A window of the thread, through which a stuck thread is told to quit.
    void anchor(HWND window) { anchor_ = window; }

private:
    std::thread thread_;
    std::atomic<bool> started_{false}, done_{false};
    std::atomic<HWND> anchor_{nullptr};
    int result_ = 0;
};

// Checks `condition` until it holds or `timeout_ms` pass; returns the last
// answer. Only a stuck program reaches the limit.
bool WaitFor(const std::function<bool()> &condition, int timeout_ms = 20000);

// The main dialog of a terminal started on the UI thread, with the first
// settings confirmed as the defaults ("OK" at once).
HWND ConfirmFirstSettings(ce::ui::Driver &driver);

// The bytes of a string as narrow text, and a wide string's UTF-8 form.
std::string Narrow(const std::u16string &text);

}  // namespace terminal_test

// A driver for tests: works the windows of a program's user-interface thread
// from another thread, the way a person at a terminal would. While a Driver
// exists the headless front-end counts as interactive, so dialogs and
// message boxes wait to be answered instead of failing or printing.
//
// Every input call returns once the window's thread has handled it (the
// driver queues the input, then a mark behind it, and waits for the mark).
// Waits give up after timeout_ms and then return null/false, so a test
// fails with a message instead of hanging.
#pragma once

#include "platform.h"
#include "ui/frontend.h"

#include <string>

namespace ce::ui {

class Driver {
public:
    static constexpr int kTimeout = 20000;  // ms; generous, only a stuck program reaches it

    Driver();
    ~Driver();
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;

    // The active window once it is a dialog whose caption is `caption`
    // (any caption when empty), shown and taking input.
    HWND wait_dialog(const std::u16string &caption = u"", int timeout_ms = kTimeout);
    // The active window once it is a message box.
    HWND wait_message_box(int timeout_ms = kTimeout);
    // True once the window no longer exists.
    bool wait_gone(HWND hwnd, int timeout_ms = kTimeout);
    // The active top-level window now (null when none).
    HWND active() const;

    // A control of a dialog by id, or the first whose text is `text`.
    HWND control(HWND dialog, int id) const;
    HWND find(HWND dialog, const std::u16string &text) const;
    // The text of a window (caption, label, field, combo's edit field).
    std::u16string text(HWND hwnd) const;
    // A message box's message (its caption is text(box)).
    std::u16string message_text(HWND box) const;
    bool enabled(HWND hwnd) const;
    // The window with the keyboard focus on the active window's thread.
    HWND focus() const;
    // The window as a front-end would draw it (found in the current scene).
    Node node(HWND hwnd) const;

    // Keyboard input to the active window (the focused control in it).
    bool key(UINT vk, bool shift = false);
    bool type(const std::u16string &text);
    // A mouse click on a window; item >= 0 clicks that row of an open combo list.
    bool click(HWND target, int item = -1);
    // Presses a message box's (or dialog's) button by id.
    bool answer(HWND dialog, int id);

private:
    bool sync_with(HWND hwnd);  // waits until the window's thread reached this point
};

}  // namespace ce::ui

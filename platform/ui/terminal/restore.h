// Giving the terminal back: at exit and on a fatal signal the screen mode is
// ended (the previous screen and the terminal's settings come back) before
// the signal takes its usual course.
#pragma once

namespace ce::ui::term {

// Called before the terminal library starts (it puts handlers of its own on
// some signals): notes how the program itself handles each signal.
void note_signal_handlers();

// Called once the terminal is in screen mode: installs the exit and signal
// handlers (a signal the program ignores or handles itself is left alone)
// and the resize signal handler, which writes a byte to `resize_fd`.
void guard_terminal(int resize_fd);

// The terminal is in screen mode (true) or given back (false); the
// handlers end screen mode only while it is on.
void set_screen_mode(bool on);

}  // namespace ce::ui::term

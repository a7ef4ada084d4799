// Giving the terminal back: at exit and on a fatal signal the screen mode is
// ended (the previous screen and the terminal's settings come back) before
// the signal takes its usual course.
#pragma once

namespace ce::ui::term {

// Called once the terminal is in screen mode: installs the exit and signal
// handlers (a signal the program ignores is left alone) and the resize
// signal handler, which writes a byte to `resize_fd`.
void guard_terminal(int resize_fd);

// The terminal is in screen mode (true) or given back (false); the
// handlers end screen mode only while it is on.
void set_screen_mode(bool on);

}  // namespace ce::ui::term

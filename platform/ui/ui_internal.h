// What the window manager's message loop asks of the front-end layer.
#pragma once

namespace ce::ui {

// Draws the scene if it changed since the last draw (under the front-end lock).
void draw_if_changed();
// The chosen front-end's input descriptor, or -1.
int input_fd();
// Reads the input that is ready and hands it to the window manager.
void read_and_deliver_input();

}  // namespace ce::ui

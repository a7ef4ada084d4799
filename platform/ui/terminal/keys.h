// What a key read from the terminal means to the window manager.
#pragma once

#include "platform.h"
#include "ui/frontend.h"

#include <vector>

namespace ce::ui::term {

// Translates one result of the terminal's wide key read: `is_key` when the
// code is a function key (KEY_*), else a character. Appends what the window
// manager should get (nothing for keys it has no use for). A space gives
// the key (buttons press on it) and the character (fields type it).
void translate_key(bool is_key, unsigned code, std::vector<Input> &out);

}  // namespace ce::ui::term

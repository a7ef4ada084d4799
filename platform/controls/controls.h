// The standard controls that dialog templates use, one file each.
#pragma once

#include "window/wm.h"

namespace ce::ctl {

LRESULT CALLBACK button_proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK static_proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK edit_proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK combobox_proc(HWND, UINT, WPARAM, LPARAM);

// The control state of a window, created on first use; null if the window
// is gone. Call with wm_lock held.
template <class T>
T *state_of(HWND hwnd) {
    auto w = wm::find(hwnd);
    if (!w) return nullptr;
    if (!w->control) w->control = std::make_unique<T>();
    return static_cast<T *>(w->control.get());
}

// Text helpers shared by edit fields and combo boxes.
bool ignores_input(HWND hwnd);  // disabled (or an ancestor is)

}  // namespace ce::ctl

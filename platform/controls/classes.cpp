// Registers the built-in window classes once per process.
#include "controls/controls.h"

#include <mutex>

namespace ce::wm {
void register_dialog_class();  // window/dialog.cpp
}

namespace ce::ctl {

bool ignores_input(HWND hwnd) { return !IsWindowEnabled(hwnd) || (GetParent(hwnd) && !IsWindowEnabled(GetParent(hwnd))); }

}  // namespace ce::ctl

namespace ce::wm {

void ensure_system_classes() {
    static std::once_flag once;
    std::call_once(once, [] {
        register_system_class(u"button", ctl::button_proc, ui::Kind::Button);
        register_system_class(u"static", ctl::static_proc, ui::Kind::Static);
        register_system_class(u"edit", ctl::edit_proc, ui::Kind::Edit);
        register_system_class(u"combobox", ctl::combobox_proc, ui::Kind::ComboBox);
        register_system_class(u"menu_worker", DefWindowProcW, ui::Kind::Window);
        register_dialog_class();
    });
}

}  // namespace ce::wm

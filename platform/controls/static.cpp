// Labels: a text, no input.
#include "controls/controls.h"

namespace ce::ctl {

LRESULT CALLBACK static_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_GETDLGCODE: return DLGC_STATIC;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace ce::ctl

// The shell's menu bar. Only the empty bar is supported: the window that
// owns it is marked so that a front-end can draw a bar without commands.
#include "window/wm.h"

BOOL SHCreateMenuBar(SHMENUBARINFO *info) {
    using namespace ce::wm;
    if (!info || info->cbSize < sizeof(SHMENUBARINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!find_or_fail(info->hwndParent)) return FALSE;
    if (!(info->dwFlags & SHCMBF_EMPTYBAR) && info->nToolBarId != 0) {
        // Menus from resources are not part of this platform.
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    // The bar is a never-shown window owned by its parent, so it goes with it.
    HWND bar = CreateWindowExW(0, u"menu_worker", u"", WS_POPUP, 0, 0, 0, 0, info->hwndParent, nullptr,
                               info->hInstRes, nullptr);
    if (!bar) return FALSE;
    {
        Guard g(wm_lock());
        if (auto w = find(info->hwndParent)) w->menu_bar = true;
    }
    mark_changed(info->hwndParent);
    info->hwndMB = bar;
    return TRUE;
}

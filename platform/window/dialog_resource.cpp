// Dialogs by resource name: the template is found in the module's resources
// and read within the resource's own size.
#include "window/wm.h"

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    HRSRC found = FindResourceW(instance, name, RT_DIALOG);
    if (!found) return -1;  // the last error says why
    const void *data = LockResource(LoadResource(instance, found));
    DWORD size = SizeofResource(instance, found);
    if (!data) return -1;
    return ce::wm::dialog_box(instance, data, size, owner, proc, param);
}

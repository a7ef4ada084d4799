// Messages, attributes and copies of the staging steps.
#include "launcher.h"
#include "resource.h"

void ShowMessage(HWND owner, const char *text) {
    MessageBoxA(owner, text, "Setup", MB_OK | MB_ICONHAND | MB_SETFOREGROUND);
}

void ShowStringMessage(HWND owner, UINT messageId) {
    char text[SETUP_TEXT_SIZE];
    LoadStringA(g_instance, messageId, text, SETUP_TEXT_SIZE);
    ShowMessage(owner, text);
}

void ClearReadOnly(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

BOOL CopyWithRetry(HWND owner, const char *source, const char *target, UINT messageId) {
    if (!CopyFileA(source, target, FALSE)) {
        // A read-only copy left from an earlier run refuses to be replaced.
        ClearReadOnly(target);
        if (!CopyFileA(source, target, FALSE)) {
            ShowStringMessage(owner, messageId);
            return FALSE;
        }
    }
    // The copy takes the source's attributes; the staged file stays writable.
    ClearReadOnly(target);
    return TRUE;
}

BOOL FormatString(HINSTANCE instance, SetupState *state, UINT formatId, char *out, const char *first,
                  const char *second) {
    if (LoadStringA(instance, formatId, state->format, SETUP_PATH_SIZE) == 0) {
        out[0] = '\0';
        return FALSE;
    }
    return FormatInto(out, SETUP_PATH_SIZE, state->format, first, second);
}

void KeepFolder(char *folder, DWORD length) {
    if (length == 0 || length >= SETUP_PATH_SIZE || !EnsureTrailingBackslash(folder, SETUP_PATH_SIZE))
        folder[0] = '\0';
}

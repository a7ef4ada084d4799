// Text in the launcher's fixed-size buffers: what does not fit is refused,
// never cut.
#include "launcher.h"

BOOL EnsureTrailingBackslash(char *path, int size) {
    int length = lstrlenA(path);
    if (length == 0) return FALSE;
    if (path[length - 1] == '\\') return TRUE;
    return AppendText(path, size, "\\");
}

BOOL AppendText(char *buffer, int size, const char *text) {
    if (lstrlenA(buffer) + lstrlenA(text) >= size) return FALSE;
    lstrcatA(buffer, text);
    return TRUE;
}

BOOL FormatInto(char *out, int size, const char *format, const char *first, const char *second) {
    // Every input fits its own path buffer, so the formatted text fits in
    // the platform's 1024-character limit before its length is checked.
    char scratch[1024];
    out[0] = '\0';
    if (first[0] == '\0' || (second && second[0] == '\0')) return FALSE;
    if (lstrlenA(format) >= SETUP_PATH_SIZE || lstrlenA(first) >= SETUP_PATH_SIZE ||
        (second && lstrlenA(second) >= SETUP_PATH_SIZE))
        return FALSE;
    wsprintfA(scratch, format, first, second ? second : "");
    if (lstrlenA(scratch) >= size) return FALSE;
    lstrcpyA(out, scratch);
    return TRUE;
}

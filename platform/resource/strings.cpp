// LoadStringW and LoadStringA: strings from the string tables, which hold
// them in blocks of 16 (block n + 1 holds strings 16n to 16n + 15), each a
// length and that many UTF-16 units, not terminated.
#include "ce/resource.h"
#include "ce/text.h"
#include "resource/modules.h"

#include <cstring>

namespace {

// The string's units in the module's data; false (last error set) when the
// module has no such string or an empty one.
bool find_string(HINSTANCE instance, UINT id, const WCHAR **text, size_t *length) {
    ce::res::Id type, block;
    type.number = 6;  // RT_STRING
    block.number = static_cast<uint16_t>((id >> 4) + 1);
    ce::FoundResource found;
    if (!ce::find_resource(instance, type, block, &found)) {
        if (GetLastError() == ERROR_RESOURCE_TYPE_NOT_FOUND) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    const unsigned char *units = nullptr;
    if (!ce::res::string_in_block(found.data, found.size, id & 15, &units, length)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    if (*length == 0) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    // Resource data is DWORD aligned in the module, so the units are aligned.
    *text = reinterpret_cast<const WCHAR *>(units);
    return true;
}

bool is_high_surrogate(WCHAR c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(WCHAR c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WCHAR *text = nullptr;
    size_t length = 0;
    bool found = find_string(hInstance, uID, &text, &length);
    if (cchBufferMax == 0) {
        // The caller gets a pointer to the string itself, read-only.
        *reinterpret_cast<const WCHAR **>(lpBuffer) = found ? text : nullptr;
        return found ? static_cast<int>(length) : 0;
    }
    if (!found) {
        lpBuffer[0] = 0;
        return 0;
    }
    size_t n = length < static_cast<size_t>(cchBufferMax - 1) ? length : static_cast<size_t>(cchBufferMax - 1);
    // Never keep the first half of a pair whose second half does not fit.
    if (n < length && n > 0 && is_high_surrogate(text[n - 1]) && is_low_surrogate(text[n])) --n;
    memcpy(lpBuffer, text, n * sizeof(WCHAR));
    lpBuffer[n] = 0;
    return static_cast<int>(n);
}

int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WCHAR *text = nullptr;
    size_t length = 0;
    if (!find_string(hInstance, uID, &text, &length)) {
        lpBuffer[0] = 0;
        return 0;
    }
    // Converts one character (one unit, or a surrogate pair) at a time, so
    // that a cut falls between characters, never inside one.
    size_t room = static_cast<size_t>(cchBufferMax - 1);
    size_t out = 0;
    for (size_t i = 0; i < length;) {
        int units = (i + 1 < length && is_high_surrogate(text[i]) && is_low_surrogate(text[i + 1])) ? 2 : 1;
        char bytes[16];
        int n = WideCharToMultiByte(CP_ACP, 0, text + i, units, bytes, static_cast<int>(sizeof bytes), nullptr,
                                    nullptr);
        if (n <= 0) {
            // No form in the PC's code page: the platform's default character.
            bytes[0] = '?';
            n = 1;
        }
        if (static_cast<size_t>(n) > room - out) break;
        memcpy(lpBuffer + out, bytes, static_cast<size_t>(n));
        out += static_cast<size_t>(n);
        i += static_cast<size_t>(units);
    }
    lpBuffer[out] = 0;
    return static_cast<int>(out);
}

// Wide text functions, conversions and the wsprintf formatter.
#include "ce/text.h"

#include "core/codepage.h"

#include <string>

using ce::active_codepage;

size_t wcslen(const WCHAR *s) {
    const WCHAR *p = s;
    while (*p) ++p;
    return static_cast<size_t>(p - s);
}

WCHAR *wcscpy(WCHAR *dst, const WCHAR *src) {
    WCHAR *d = dst;
    while ((*d++ = *src++)) {
    }
    return dst;
}

WCHAR *wcsncpy(WCHAR *dst, const WCHAR *src, size_t n) {
    size_t i = 0;
    for (; i < n && src[i]; ++i) dst[i] = src[i];
    for (; i < n; ++i) dst[i] = 0;
    return dst;
}

WCHAR *wcscat(WCHAR *dst, const WCHAR *src) {
    wcscpy(dst + wcslen(dst), src);
    return dst;
}

int wcscmp(const WCHAR *a, const WCHAR *b) {
    while (*a && *a == *b) ++a, ++b;
    return (*a > *b) - (*a < *b);
}

int wcsncmp(const WCHAR *a, const WCHAR *b, size_t n) {
    for (; n > 0; --n, ++a, ++b) {
        if (*a != *b) return (*a > *b) - (*a < *b);
        if (*a == 0) return 0;
    }
    return 0;
}

WCHAR *wcschr(const WCHAR *s, WCHAR c) {
    for (;; ++s) {
        if (*s == c) return const_cast<WCHAR *>(s);
        if (*s == 0) return nullptr;
    }
}

int _wtoi(const WCHAR *s) {
    std::string narrow;
    while (*s && *s < 0x80) narrow += static_cast<char>(*s++);
    return atoi(narrow.c_str());
}

size_t wcstombs(char *dst, const WCHAR *src, size_t count) {
    unsigned cp = active_codepage();
    size_t written = 0;
    std::string one;
    for (size_t i = 0;;) {
        if (src[i] == 0) {
            if (dst && written < count) dst[written] = '\0';
            return written;
        }
        char32_t c;
        int units = ce::next_utf16(src + i, 2, &c);
        if (units == 0) return static_cast<size_t>(-1);
        one.clear();
        if (!ce::encode_char(cp, c, one)) return static_cast<size_t>(-1);
        if (dst) {
            if (written + one.size() > count) return written;  // never half a character
            memcpy(dst + written, one.data(), one.size());
        }
        written += one.size();
        i += static_cast<size_t>(units);
    }
}

size_t mbstowcs(WCHAR *dst, const char *src, size_t count) {
    unsigned cp = active_codepage();
    const unsigned char *s = reinterpret_cast<const unsigned char *>(src);
    size_t out = 0;
    // Without a destination the count does not limit the reading, as in C.
    size_t limit = dst ? count : static_cast<size_t>(-1);
    for (size_t pos = 0; pos < limit && (!dst || out < count);) {
        if (s[pos] == 0) {
            if (dst) dst[out] = 0;
            return out;
        }
        // A character may not run past the count or into a zero byte.
        size_t avail = 0;
        while (avail < 4 && pos + avail < limit && s[pos + avail] != 0) ++avail;
        char32_t c;
        int n = ce::decode_char(cp, s + pos, avail, &c);
        if (n == 0) break;  // the bytes end inside a character
        if (n < 0) return static_cast<size_t>(-1);
        size_t units = c >= 0x10000 ? 2 : 1;
        if (dst) {
            if (out + units > count) break;
            std::u16string u;
            ce::append_utf16(u, c);
            for (char16_t unit : u) dst[out++] = unit;
        } else {
            out += units;
        }
        pos += static_cast<size_t>(n);
    }
    return out;
}

UINT GetACP() { return active_codepage(); }

namespace {

unsigned resolve_codepage(UINT cp) { return cp == CP_ACP ? active_codepage() : cp; }

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int cbSrc, LPWSTR dst, int cchDst) {
    if (!src || cbSrc == 0 || cchDst < 0 || (cchDst > 0 && !dst)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    unsigned cp = resolve_codepage(codePage);
    size_t len = cbSrc < 0 ? strlen(src) + 1 : static_cast<size_t>(cbSrc);
    const unsigned char *s = reinterpret_cast<const unsigned char *>(src);
    std::u16string out;
    for (size_t pos = 0; pos < len;) {
        char32_t c;
        int n = ce::decode_char(cp, s + pos, len - pos, &c);
        if (n <= 0) {
            if (flags & MB_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            c = 0xFFFD;
            n = 1;
        }
        ce::append_utf16(out, c);
        pos += static_cast<size_t>(n);
    }
    if (cchDst == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(cchDst)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(dst, out.data(), out.size() * sizeof(WCHAR));
    return static_cast<int>(out.size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int cchSrc, LPSTR dst, int cbDst,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    (void)flags;
    if (!src || cchSrc == 0 || cbDst < 0 || (cbDst > 0 && !dst)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    unsigned cp = resolve_codepage(codePage);
    size_t len = cchSrc < 0 ? wcslen(src) + 1 : static_cast<size_t>(cchSrc);
    std::string out;
    if (usedDefaultChar) *usedDefaultChar = FALSE;
    for (size_t i = 0; i < len;) {
        char32_t c;
        int units = ce::next_utf16(src + i, len - i, &c);
        if (units == 0 || !ce::encode_char(cp, c, out)) {
            out += defaultChar ? defaultChar : "?";
            if (usedDefaultChar) *usedDefaultChar = TRUE;
            units = units ? units : 1;
        }
        i += static_cast<size_t>(units);
    }
    if (cbDst == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(cbDst)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(dst, out.data(), out.size());
    return static_cast<int>(out.size());
}

int lstrlenA(LPCSTR s) { return s ? static_cast<int>(strlen(s)) : 0; }
LPSTR lstrcpyA(LPSTR dst, LPCSTR src) { return strcpy(dst, src); }
LPSTR lstrcatA(LPSTR dst, LPCSTR src) { return strcat(dst, src); }
int lstrlenW(LPCWSTR s) { return s ? static_cast<int>(wcslen(s)) : 0; }
LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src) { return wcscpy(dst, src); }
LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src) { return wcscat(dst, src); }

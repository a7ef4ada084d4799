// wsprintfW / wsprintfA: the platform's small printf, with its 1024-character
// output limit. Integers are 32-bit unless 'I64' says otherwise, because the
// platform's long is 32-bit.
#include "ce/text.h"


#include <string>

namespace {

constexpr size_t kMaxOutput = 1024;  // characters, terminator included

// Narrow text (the code page's) and wide text, converted as the platform's
// conversions do: what has no form becomes U+FFFD or '?'.
std::u16string widen(const char *s, int max) {
    size_t len = strlen(s);
    if (max >= 0 && static_cast<size_t>(max) < len) len = static_cast<size_t>(max);
    if (len == 0) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(len), nullptr, 0);
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(len), out.data(), n);
    return out;
}

std::string narrow(const char16_t *s, int max) {
    size_t len = 0;
    while (s[len] && (max < 0 || len < static_cast<size_t>(max))) ++len;
    if (len == 0) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(len), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(len), out.data(), n, nullptr, nullptr);
    return out;
}

template <class Ch>
std::basic_string<Ch> from_native(const char *s, int max) {
    if constexpr (sizeof(Ch) == 1) {
        size_t len = strlen(s);
        if (max >= 0 && static_cast<size_t>(max) < len) len = static_cast<size_t>(max);
        return std::string(s, len);
    } else {
        return widen(s, max);
    }
}

template <class Ch>
std::basic_string<Ch> from_wide(const char16_t *s, int max) {
    if constexpr (sizeof(Ch) == 1) {
        return narrow(s, max);
    } else {
        size_t len = 0;
        while (s[len] && (max < 0 || len < static_cast<size_t>(max))) ++len;
        return std::u16string(s, len);
    }
}

template <class Ch>
int format(Ch *out, const Ch *fmt, va_list args) {
    std::basic_string<Ch> result;
    for (const Ch *p = fmt; *p; ++p) {
        if (*p != '%') {
            result += *p;
            continue;
        }
        ++p;
        if (*p == '%') {
            result += '%';
            continue;
        }
        bool left = false, zero = false, alt = false;
        for (;; ++p) {
            if (*p == '-') left = true;
            else if (*p == '0') zero = true;
            else if (*p == '#') alt = true;
            else break;
        }
        int width = 0;
        while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
        int precision = -1;
        if (*p == '.') {
            precision = 0;
            ++p;
            while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
        }
        enum { kNone, kShort, kLong, k64 } size = kNone;
        if (*p == 'h') size = kShort, ++p;
        else if (*p == 'l' || *p == 'w') size = kLong, ++p;
        else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') size = k64, p += 3;

        std::basic_string<Ch> field;
        // The "own" string type: wide for wsprintfW, narrow for wsprintfA.
        constexpr bool wide_out = sizeof(Ch) == 2;
        switch (*p) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X': {
            bool is_signed = *p == 'd' || *p == 'i';
            unsigned long long v;
            bool neg = false;
            if (size == k64) {
                long long s = va_arg(args, long long);
                if (is_signed && s < 0) neg = true, v = 0ULL - static_cast<unsigned long long>(s);
                else v = static_cast<unsigned long long>(s);
            } else {
                int s = va_arg(args, int);
                if (size == kShort) s = is_signed ? static_cast<short>(s) : static_cast<unsigned short>(s);
                if (is_signed && s < 0) neg = true, v = 0ULL - static_cast<unsigned long long>(static_cast<long long>(s));
                else v = is_signed ? static_cast<unsigned long long>(s) : static_cast<unsigned>(s);
            }
            unsigned base = (*p == 'x' || *p == 'X') ? 16 : 10;
            const char *digits = *p == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
            std::string d;
            do {
                d.insert(d.begin(), digits[v % base]);
                v /= base;
            } while (v);
            while (precision >= 0 && d.size() < static_cast<size_t>(precision)) d.insert(d.begin(), '0');
            std::string prefix = neg ? "-" : "";
            if (alt && base == 16) prefix += *p == 'X' ? "0X" : "0x";
            if (zero && !left)
                while (prefix.size() + d.size() < static_cast<size_t>(width)) d.insert(d.begin(), '0');
            for (char c : prefix + d) field += static_cast<Ch>(c);
            break;
        }
        case 'c':
        case 'C': {
            bool want_wide = size == kLong ? true : size == kShort ? false : ((*p == 'c') == wide_out);
            int c = va_arg(args, int);
            if (want_wide) {
                char16_t s[2] = {static_cast<char16_t>(c), 0};
                field = from_wide<Ch>(s, -1);
            } else {
                char s[2] = {static_cast<char>(c), 0};
                field = from_native<Ch>(s, -1);
            }
            break;
        }
        case 's':
        case 'S': {
            // 'l' forces wide, 'h' forces narrow; otherwise 's' is the output's
            // own kind and 'S' the other one.
            bool want_wide = size == kLong ? true : size == kShort ? false : ((*p == 's') == wide_out);
            if (want_wide) {
                const char16_t *s = va_arg(args, const char16_t *);
                field = from_wide<Ch>(s ? s : u"(null)", precision);
            } else {
                const char *s = va_arg(args, const char *);
                field = from_native<Ch>(s ? s : "(null)", precision);
            }
            break;
        }
        default:
            // Unknown conversion: copied as it stands, as the platform does.
            result += '%';
            if (!*p) goto done;
            result += *p;
            continue;
        }
        if (field.size() < static_cast<size_t>(width)) {
            std::basic_string<Ch> pad(static_cast<size_t>(width) - field.size(), static_cast<Ch>(' '));
            field = left ? field + pad : pad + field;
        }
        result += field;
    }
done:
    if (result.size() > kMaxOutput - 1) result.resize(kMaxOutput - 1);
    std::copy(result.begin(), result.end(), out);
    out[result.size()] = 0;
    return static_cast<int>(result.size());
}

}  // namespace

int wvsprintfW(LPWSTR out, LPCWSTR format_, va_list args) { return format<char16_t>(out, format_, args); }
int wvsprintfA(LPSTR out, LPCSTR format_, va_list args) { return format<char>(out, format_, args); }

int wsprintfW(LPWSTR out, LPCWSTR format_, ...) {
    va_list args;
    va_start(args, format_);
    int n = wvsprintfW(out, format_, args);
    va_end(args);
    return n;
}

int wsprintfA(LPSTR out, LPCSTR format_, ...) {
    va_list args;
    va_start(args, format_);
    int n = wvsprintfA(out, format_, args);
    va_end(args);
    return n;
}

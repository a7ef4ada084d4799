#include "core/codepage.h"

#include "ce/text.h"

#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <map>
#include <utility>

namespace ce {
namespace {

// One converter pair per code page and thread: iconv descriptors carry state
// and are not safe to share between threads.
struct Converters {
    iconv_t to_cp = reinterpret_cast<iconv_t>(-1);    // UTF-32LE -> code page
    iconv_t from_cp = reinterpret_cast<iconv_t>(-1);  // code page -> UTF-32LE
};

struct ConverterCache {
    std::map<unsigned, Converters> by_cp;
    ~ConverterCache() {
        for (auto &[cp, c] : by_cp) {
            if (c.to_cp != reinterpret_cast<iconv_t>(-1)) iconv_close(c.to_cp);
            if (c.from_cp != reinterpret_cast<iconv_t>(-1)) iconv_close(c.from_cp);
        }
    }
};

Converters &converters(unsigned cp) {
    thread_local ConverterCache cache;
    auto it = cache.by_cp.find(cp);
    if (it != cache.by_cp.end()) return it->second;
    std::string name = "CP" + std::to_string(cp);
    Converters c;
    c.to_cp = iconv_open(name.c_str(), "UTF-32LE");
    c.from_cp = iconv_open("UTF-32LE", name.c_str());
    return cache.by_cp.emplace(cp, c).first->second;
}

bool encode_utf8(char32_t c, std::string &out) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return true;
}

int decode_utf8(const unsigned char *s, size_t avail, char32_t *out) {
    if (avail == 0) return 0;
    unsigned char b = s[0];
    int len;
    char32_t c, min;
    if (b < 0x80) {
        *out = b;
        return 1;
    } else if ((b & 0xE0) == 0xC0) {
        len = 2, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4, c = b & 0x07, min = 0x10000;
    } else {
        return -1;
    }
    for (int i = 1; i < len; ++i) {
        if (static_cast<size_t>(i) >= avail) return 0;
        if ((s[i] & 0xC0) != 0x80) return -1;
        c = (c << 6) | (s[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
    *out = c;
    return len;
}

// The Windows single-byte code pages leave a few bytes undefined (0x81, 0x8D,
// 0x8F, 0x90 and 0x9D in 1252); the platform passes them through as the
// control characters of the same value, so that no received byte is lost.
bool passes_undefined_bytes(unsigned cp) { return cp >= 1250 && cp <= 1258; }

}  // namespace

unsigned active_codepage() {
    const char *env = getenv("CE_CODEPAGE");
    if (!env || !*env) return kUtf8;
    char *end = nullptr;
    unsigned long cp = strtoul(env, &end, 10);
    if (*end != '\0' || cp == 0 || cp > 65535) return kUtf8;
    return static_cast<unsigned>(cp);
}

bool encode_char(unsigned cp, char32_t c, std::string &out) {
    if (cp == kUtf8) return encode_utf8(c, out);
    iconv_t cd = converters(cp).to_cp;
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                  static_cast<char>((c >> 16) & 0xFF), static_cast<char>((c >> 24) & 0xFF)};
    char buf[16];
    char *inp = in, *outp = buf;
    size_t inleft = 4, outleft = sizeof buf;
    if (iconv(cd, &inp, &inleft, &outp, &outleft) == static_cast<size_t>(-1)) {
        if (!passes_undefined_bytes(cp) || c < 0x80 || c > 0x9F) return false;
        char32_t back;
        unsigned char byte = static_cast<unsigned char>(c);
        if (decode_char(cp, &byte, 1, &back) != 1 || back != c) return false;  // the byte means something else
        out += static_cast<char>(byte);
        return true;
    }
    // Flush any shift state so the bytes stand alone.
    iconv(cd, nullptr, nullptr, &outp, &outleft);
    out.append(buf, static_cast<size_t>(outp - buf));
    return true;
}

int decode_char(unsigned cp, const unsigned char *src, size_t avail, char32_t *out) {
    if (cp == kUtf8) return decode_utf8(src, avail, out);
    iconv_t cd = converters(cp).from_cp;
    if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
    // Widen the input one byte at a time until it forms one character.
    for (size_t n = 1; n <= 4; ++n) {
        if (n > avail) return 0;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char in[4];
        for (size_t i = 0; i < n; ++i) in[i] = static_cast<char>(src[i]);
        char buf[8];
        char *inp = in, *outp = buf;
        size_t inleft = n, outleft = sizeof buf;
        size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
        if (r == static_cast<size_t>(-1) && errno == EINVAL) continue;
        if (r == static_cast<size_t>(-1) && n == 1 && passes_undefined_bytes(cp) && src[0] >= 0x80 && src[0] <= 0x9F) {
            *out = src[0];
            return 1;
        }
        if (r == static_cast<size_t>(-1) || outp - buf != 4) return -1;
        const unsigned char *u = reinterpret_cast<const unsigned char *>(buf);
        *out = static_cast<char32_t>(u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<uint32_t>(u[3]) << 24));
        return static_cast<int>(n);
    }
    return -1;
}

int next_utf16(const char16_t *src, size_t avail, char32_t *out) {
    if (avail == 0) return 0;
    char16_t u = src[0];
    if (u < 0xD800 || u > 0xDFFF) {
        *out = u;
        return 1;
    }
    if (u >= 0xDC00 || avail < 2 || src[1] < 0xDC00 || src[1] > 0xDFFF) return 0;
    *out = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (src[1] - 0xDC00);
    return 2;
}

void append_utf16(std::u16string &out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

std::string to_utf8(std::u16string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        char32_t c;
        int n = next_utf16(s.data() + i, s.size() - i, &c);
        if (n == 0) c = 0xFFFD, n = 1;
        encode_utf8(c, out);
        i += static_cast<size_t>(n);
    }
    return out;
}

std::u16string from_utf8(std::string_view s) {
    std::u16string out;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(s.data());
    for (size_t i = 0; i < s.size();) {
        char32_t c;
        int n = decode_utf8(p + i, s.size() - i, &c);
        if (n <= 0) c = 0xFFFD, n = 1;
        append_utf16(out, c);
        i += static_cast<size_t>(n);
    }
    return out;
}

}  // namespace ce

#include "registry/hive.h"

#include "ce/registry.h"
#include "core/codepage.h"

#include <cstdio>

namespace ce::reg {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kRootName = "HKEY_LOCAL_MACHINE";

bool iequals_ascii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

// The text as UTF-8, whatever encoding the file was saved in.
std::string as_utf8(std::string_view text) {
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
        static_cast<unsigned char>(text[1]) == 0xFE) {
        std::u16string wide;
        for (size_t i = 2; i + 1 < text.size(); i += 2)
            wide += static_cast<char16_t>(static_cast<unsigned char>(text[i]) |
                                          (static_cast<unsigned char>(text[i + 1]) << 8));
        return to_utf8(wide);
    }
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") return std::string(text.substr(3));
    return std::string(text);
}

std::vector<uint8_t> utf16_bytes(const std::u16string &s, bool terminate) {
    std::vector<uint8_t> out;
    for (char16_t c : s) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    if (terminate) out.insert(out.end(), {0, 0});
    return out;
}

// A quoted string starting at text[pos] (the opening quote); returns its
// content with \\ and \" undone and leaves pos after the closing quote.
bool read_quoted(const std::string &text, size_t &pos, std::string &out, std::string &why) {
    ++pos;
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == '"') return true;
        if (c == '\\') {
            if (pos >= text.size()) break;
            char e = text[pos++];
            if (e == '\\' || e == '"') {
                out += e;
            } else if (e == 'n') {
                out += '\n';
            } else {
                why = std::string("unknown escape \\") + e + " in quoted text";
                return false;
            }
        } else {
            out += c;
        }
    }
    why = "quoted text is not closed";
    return false;
}

bool parse_hex_bytes(std::string_view s, std::vector<uint8_t> &out, std::string &why) {
    size_t i = 0;
    auto skip_blanks = [&] {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    };
    skip_blanks();
    if (i == s.size()) return true;
    for (;;) {
        skip_blanks();
        size_t start = i;
        unsigned v = 0;
        while (i < s.size() && isxdigit(static_cast<unsigned char>(s[i])) && i - start < 3) {
            v = v * 16 + static_cast<unsigned>(isdigit(static_cast<unsigned char>(s[i])) ? s[i] - '0' : (tolower(s[i]) - 'a' + 10));
            ++i;
        }
        if (i == start || i - start > 2) {
            why = "malformed hex byte '" + std::string(s.substr(start, 3)) + "'";
            return false;
        }
        out.push_back(static_cast<uint8_t>(v));
        skip_blanks();
        if (i == s.size()) return true;
        if (s[i] != ',') {
            why = std::string("expected ',' between hex bytes, found '") + s[i] + "'";
            return false;
        }
        ++i;
    }
}

// The data part of a value line (after '='): type and bytes, or a deletion.
bool parse_data(const std::string &data, DWORD &type, std::vector<uint8_t> &bytes, bool &remove, std::string &why) {
    remove = false;
    if (data == "-") {
        remove = true;
        return true;
    }
    if (!data.empty() && data[0] == '"') {
        size_t pos = 0;
        std::string s;
        if (!read_quoted(data, pos, s, why)) return false;
        if (data.find_first_not_of(" \t", pos) != std::string::npos) {
            why = "text after the closing quote";
            return false;
        }
        type = REG_SZ;
        bytes = utf16_bytes(from_utf8(s), true);
        return true;
    }
    if (data.rfind("dword:", 0) == 0) {
        std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            why = "malformed dword '" + digits + "' (1 to 8 hex digits expected)";
            return false;
        }
        uint32_t v = static_cast<uint32_t>(strtoul(digits.c_str(), nullptr, 16));
        type = REG_DWORD;
        bytes = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                 static_cast<uint8_t>(v >> 24)};
        return true;
    }
    if (data.rfind("hex", 0) == 0) {
        size_t colon = data.find(':');
        if (colon == std::string::npos) {
            why = "hex data without ':'";
            return false;
        }
        std::string kind = data.substr(3, colon - 3);
        if (kind.empty()) {
            type = REG_BINARY;
        } else if (kind.size() > 2 && kind.front() == '(' && kind.back() == ')' &&
                   kind.find_first_not_of("0123456789abcdefABCDEF", 1) == kind.size() - 1) {
            type = static_cast<DWORD>(strtoul(kind.substr(1, kind.size() - 2).c_str(), nullptr, 16));
        } else {
            why = "malformed value type '" + data.substr(0, colon) + "'";
            return false;
        }
        return parse_hex_bytes(std::string_view(data).substr(colon + 1), bytes, why);
    }
    why = "unknown value data '" + data.substr(0, 20) + "' (expected \"text\", dword:, hex: or hex(n):)";
    return false;
}

void delete_key(Key &root, const std::vector<std::u16string> &path) {
    if (path.empty()) {
        root.subkeys.clear();
        root.values.clear();
        return;
    }
    std::vector<std::u16string> parent_path(path.begin(), path.end() - 1);
    if (Key *parent = find(root, parent_path)) parent->subkeys.erase(path.back());
}

Key &create(Key &root, const std::vector<std::u16string> &names) {
    Key *k = &root;
    for (const auto &name : names) {
        auto &slot = k->subkeys[fold(name)];
        if (!slot) {
            slot = std::make_unique<Key>();
            slot->name = name;
        }
        k = slot.get();
    }
    return *k;
}

std::unique_ptr<Key> clone(const Key &k) {
    auto c = std::make_unique<Key>();
    c->name = k.name;
    c->values = k.values;
    for (const auto &[n, sub] : k.subkeys) c->subkeys.emplace(n, clone(*sub));
    return c;
}

std::string quote(const std::u16string &s) {
    std::string out = "\"";
    for (char c : to_utf8(s)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A string value is written as "text" only when that form gives back exactly
// the same bytes: one terminator at the end and nothing a line cannot hold.
bool printable_string(const Value &v) {
    if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2) return false;
    size_t n = v.data.size() / 2;
    std::u16string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char16_t>(v.data[2 * i] | (v.data[2 * i + 1] << 8));
    if (s.back() != 0) return false;
    s.pop_back();
    for (char16_t c : s)
        if (c == 0 || c == '\r' || c == '\n') return false;
    return from_utf8(to_utf8(s)) == s;
}

void print_value(std::string &out, const Value &v) {
    std::string line = v.name.empty() ? "@" : quote(v.name);
    line += '=';
    if (printable_string(v)) {
        std::u16string s;
        for (size_t i = 0; i + 2 < v.data.size(); i += 2) s += static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8));
        out += line + quote(s) + "\n";
        return;
    }
    if (v.type == REG_DWORD && v.data.size() == 4) {
        char buf[16];
        snprintf(buf, sizeof buf, "dword:%08x", v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<uint32_t>(v.data[3]) << 24));
        out += line + buf + "\n";
        return;
    }
    char kind[16];
    if (v.type == REG_BINARY)
        snprintf(kind, sizeof kind, "hex:");
    else
        snprintf(kind, sizeof kind, "hex(%x):", static_cast<unsigned>(v.type));
    line += kind;
    for (size_t i = 0; i < v.data.size(); ++i) {
        char b[4];
        snprintf(b, sizeof b, "%02x", v.data[i]);
        line += b;
        if (i + 1 < v.data.size()) {
            line += ',';
            if (line.size() > 76) {  // continue on the next line, as the editor does
                out += line + "\\\n";
                line = "  ";
            }
        }
    }
    out += line + "\n";
}

void print_key(std::string &out, const Key &k, const std::string &full_name, bool always) {
    if (always || !k.values.empty()) {
        out += "[" + full_name + "]\n";
        for (const auto &[n, v] : k.values) print_value(out, v);
        out += "\n";
    }
    for (const auto &[n, sub] : k.subkeys) print_key(out, *sub, full_name + "\\" + to_utf8(sub->name), true);
}

}  // namespace

Key copy_of(const Key &key) {
    Key out;
    out.name = key.name;
    out.values = key.values;
    for (const auto &[n, sub] : key.subkeys) out.subkeys.emplace(n, clone(*sub));
    return out;
}

std::u16string fold(std::u16string_view name) {
    std::u16string out(name);
    for (auto &c : out) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = static_cast<char16_t>(c - 0x20);
    }
    return out;
}

std::vector<std::u16string> split_path(std::u16string_view path) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos) end = path.size();
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

Key *find(Key &root, const std::vector<std::u16string> &path) {
    Key *k = &root;
    for (const auto &name : path) {
        auto it = k->subkeys.find(fold(name));
        if (it == k->subkeys.end()) return nullptr;
        k = it->second.get();
    }
    return k;
}

bool parse(std::string_view raw, Key &root, ParseError *error) {
    std::string text = as_utf8(raw);
    std::unique_ptr<Key> work = clone(root);  // applied to a copy: all or nothing
    Key *current = nullptr;
    bool seen_header = false;
    int line_no = 0;
    size_t pos = 0;
    auto fail = [&](int line, std::string message) {
        if (error) *error = ParseError{line, std::move(message)};
        return false;
    };
    while (pos < text.size()) {
        // One logical line: physical lines joined where a line ends in '\'.
        int first_line = ++line_no;
        size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        while (!line.empty() && line.back() == '\\' && line.find('=') != std::string::npos &&
               line.find("=\"") == std::string::npos && pos < text.size()) {
            line.pop_back();
            ++line_no;
            end = text.find('\n', pos);
            std::string next = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            pos = end == std::string::npos ? text.size() : end + 1;
            if (!next.empty() && next.back() == '\r') next.pop_back();
            line += next.substr(next.find_first_not_of(" \t") == std::string::npos ? next.size() : next.find_first_not_of(" \t"));
        }
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';') continue;
        line = line.substr(first);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();

        if (!seen_header) {
            if (line != kHeader && line != kOldHeader)
                return fail(first_line, "not a registry file: the first line must be \"" + std::string(kHeader) + "\"");
            seen_header = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') return fail(first_line, "section name without closing ']'");
            std::string name = line.substr(1, line.size() - 2);
            bool remove = !name.empty() && name[0] == '-';
            if (remove) name.erase(0, 1);
            std::string root_part = name.substr(0, name.find('\\'));
            if (!iequals_ascii(root_part, kRootName) && !iequals_ascii(root_part, "HKLM"))
                return fail(first_line, "unknown root key '" + root_part + "' (only HKEY_LOCAL_MACHINE is kept)");
            std::vector<std::u16string> path =
                split_path(from_utf8(name.size() > root_part.size() ? name.substr(root_part.size() + 1) : ""));
            for (const auto &p : path)
                if (p.size() > 255) return fail(first_line, "key name longer than 255 characters");
            if (remove) {
                delete_key(*work, path);
                current = nullptr;
            } else {
                current = &create(*work, path);
            }
            continue;
        }
        if (line[0] == '"' || line[0] == '@') {
            if (!current) return fail(first_line, "value outside of a key section");
            std::string name;
            size_t p = 0;
            std::string why;
            if (line[0] == '@') {
                p = 1;
            } else if (!read_quoted(line, p, name, why)) {
                return fail(first_line, why);
            }
            while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
            if (p >= line.size() || line[p] != '=') return fail(first_line, "expected '=' after the value name");
            std::string data = line.substr(line.find_first_not_of(" \t", p + 1) == std::string::npos ? line.size() : line.find_first_not_of(" \t", p + 1));
            DWORD type = 0;
            std::vector<uint8_t> bytes;
            bool remove = false;
            if (!parse_data(data, type, bytes, remove, why)) return fail(first_line, why);
            std::u16string wname = from_utf8(name);
            if (remove) {
                current->values.erase(fold(wname));
            } else {
                Value &v = current->values[fold(wname)];
                if (v.name.empty()) v.name = wname;
                v.type = type;
                v.data = std::move(bytes);
            }
            continue;
        }
        return fail(first_line, "unrecognised line '" + line.substr(0, 40) + "'");
    }
    if (!seen_header) return fail(1, "empty file: the first line must be \"" + std::string(kHeader) + "\"");
    root.subkeys = std::move(work->subkeys);
    root.values = std::move(work->values);
    return true;
}

std::string print(const Key &root) { return print_subtree(root, u""); }

std::string print_subtree(const Key &key, const std::u16string &path) {
    std::string out = std::string(kHeader) + "\n\n";
    std::string name = std::string(kRootName) + (path.empty() ? "" : "\\" + to_utf8(path));
    print_key(out, key, name, !path.empty());
    return out;
}

}  // namespace ce::reg

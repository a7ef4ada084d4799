#include "serial/port_map.h"

#include "ce/registry.h"
#include "core/codepage.h"

namespace ce::serial {

int com_number(const WCHAR *name) {
    if (!name) return -1;
    auto upper = [](WCHAR c) { return c >= u'a' && c <= u'z' ? static_cast<WCHAR>(c - 32) : c; };
    if (upper(name[0]) != u'C' || upper(name[1]) != u'O' || upper(name[2]) != u'M') return -1;
    const WCHAR *p = name + 3;
    if (*p < u'0' || *p > u'9' || (*p == u'0' && p[1] != u':')) return -1;
    int n = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        n = n * 10 + (*p - u'0');
        if (n > 255) return -1;
    }
    return p[0] == u':' && p[1] == 0 ? n : -1;
}

std::string device_path(int number) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Platform\\Ports", 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    std::u16string value_name = u"COM";
    for (char c : std::to_string(number)) value_name += static_cast<char16_t>(c);
    WCHAR path[1024];
    DWORD type = 0, size = sizeof(path) - sizeof(WCHAR);
    LONG rc = RegQueryValueExW(key, value_name.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(path), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
    size_t chars = size / sizeof(WCHAR);
    path[chars] = 0;
    std::u16string text(path);
    return ce::to_utf8(text);
}

}  // namespace ce::serial

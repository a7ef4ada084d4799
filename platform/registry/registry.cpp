// The Reg* functions over the registry store. A key handle names a path below
// HKEY_LOCAL_MACHINE, not a node, because the tree is replaced whenever the
// file changes; a key deleted meanwhile answers ERROR_KEY_DELETED.
#include "ce/registry.h"

#include "ce/text.h"
#include "core/handles.h"
#include "registry/store.h"

#include <cstring>

namespace {

using ce::reg::Key;

constexpr size_t kMaxKeyName = 255;     // characters
constexpr size_t kMaxValueName = 16383;  // characters

struct KeyHandle : ce::Object {
    KeyHandle(std::vector<std::u16string> p, REGSAM a)
        : ce::Object(ce::ObjectKind::RegistryKey), path(std::move(p)), access(a) {}
    std::vector<std::u16string> path;
    REGSAM access;
};

// The path and access rights behind a key handle; false for a bad handle.
bool resolve_handle(HKEY h, std::vector<std::u16string> &path, REGSAM &access) {
    if (h == HKEY_LOCAL_MACHINE) {
        path.clear();
        access = KEY_ALL_ACCESS;
        return true;
    }
    auto k = ce::handle_get<KeyHandle>(reinterpret_cast<HANDLE>(h), ce::ObjectKind::RegistryKey);
    if (!k) return false;
    path = k->path;
    access = k->access;
    return true;
}

std::u16string name_or_empty(LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); }

bool is_string_type(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

HKEY new_key_handle(std::vector<std::u16string> path, REGSAM access) {
    return reinterpret_cast<HKEY>(ce::handle_insert(std::make_shared<KeyHandle>(std::move(path), access)));
}

LONG open_key(HKEY hKey, LPCWSTR lpSubKey, REGSAM sam, PHKEY phkResult, bool create, LPDWORD disposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    std::vector<std::u16string> path;
    REGSAM parent_access;  // not enforced, as on the handheld
    if (!resolve_handle(hKey, path, parent_access)) return ERROR_INVALID_HANDLE;
    std::vector<std::u16string> sub = ce::reg::split_path(name_or_empty(lpSubKey));
    for (const auto &name : sub)
        if (name.size() > kMaxKeyName) return ERROR_INVALID_PARAMETER;
    std::vector<std::u16string> full = path;
    full.insert(full.end(), sub.begin(), sub.end());

    bool created = false;
    LONG r = ce::reg::with_tree([&](Key &root) -> LONG {
        if (!ce::reg::find(root, path)) return ERROR_KEY_DELETED;
        return ce::reg::find(root, full) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (r == ERROR_FILE_NOT_FOUND && create) {
        r = ce::reg::change_tree([&](Key &root, bool &changed) -> LONG {
            Key *k = ce::reg::find(root, path);
            if (!k) return ERROR_KEY_DELETED;
            for (const auto &name : sub) {
                auto &slot = k->subkeys[ce::reg::fold(name)];
                if (!slot) {
                    slot = std::make_unique<Key>();
                    slot->name = name;
                    created = changed = true;
                }
                k = slot.get();
            }
            return ERROR_SUCCESS;
        });
    }
    if (r != ERROR_SUCCESS) return r;
    *phkResult = new_key_handle(std::move(full), sam);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

// Runs fn on the key behind a handle, for reading.
template <class Fn>
LONG with_key(HKEY h, Fn fn) {
    std::vector<std::u16string> path;
    REGSAM access;
    if (!resolve_handle(h, path, access)) return ERROR_INVALID_HANDLE;
    return ce::reg::with_tree([&](Key &root) -> LONG {
        Key *k = ce::reg::find(root, path);
        return k ? fn(*k) : ERROR_KEY_DELETED;
    });
}

// Runs fn on the key behind a handle, for changing. As on the handheld, the
// access asked for when the key was opened does not limit what it may do.
template <class Fn>
LONG change_key(HKEY h, Fn fn) {
    std::vector<std::u16string> path;
    REGSAM access;
    if (!resolve_handle(h, path, access)) return ERROR_INVALID_HANDLE;
    return ce::reg::change_tree([&](Key &root, bool &changed) -> LONG {
        Key *k = ce::reg::find(root, path);
        return k ? fn(*k, changed) : ERROR_KEY_DELETED;
    });
}

// Copies a value's data out as the platform does: too small a buffer leaves
// it untouched and reports the size needed; a string stored without its
// terminator gets one when there is room.
LONG copy_data(const std::vector<uint8_t> &data, DWORD type, LPBYTE out, LPDWORD size) {
    if (!out) {
        if (size) *size = static_cast<DWORD>(data.size());
        return ERROR_SUCCESS;
    }
    if (!size) return ERROR_INVALID_PARAMETER;
    DWORD room = *size;
    *size = static_cast<DWORD>(data.size());
    if (room < data.size()) return ERROR_MORE_DATA;
    if (!data.empty()) memcpy(out, data.data(), data.size());
    bool terminated = data.size() >= 2 && data[data.size() - 1] == 0 && data[data.size() - 2] == 0;
    if (is_string_type(type) && !terminated && room >= data.size() + 2 && data.size() % 2 == 0) {
        out[data.size()] = 0;
        out[data.size() + 1] = 0;
    }
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired, LPSECURITY_ATTRIBUTES,
                     PHKEY phkResult, LPDWORD lpdwDisposition) {
    return open_key(hKey, lpSubKey, samDesired, phkResult, true, lpdwDisposition);
}

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    return open_key(hKey, lpSubKey, samDesired, phkResult, false, nullptr);
}

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                   LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    return with_key(hKey, [&](Key &k) -> LONG {
        if (dwIndex >= k.subkeys.size()) return ERROR_NO_MORE_ITEMS;
        auto it = k.subkeys.begin();
        std::advance(it, dwIndex);
        const std::u16string &name = it->second->name;
        // Room for the name and its terminator, or nothing is written.
        if (name.size() >= *lpcchName) return ERROR_MORE_DATA;
        memcpy(lpName, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
        *lpcchName = static_cast<DWORD>(name.size());
        if (lpClass && lpcchClass && *lpcchClass > 0) lpClass[0] = 0;
        if (lpcchClass) *lpcchClass = 0;
        if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD, LPDWORD lpType,
                   LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpValueName || !lpcchValueName) return ERROR_INVALID_PARAMETER;
    return with_key(hKey, [&](Key &k) -> LONG {
        if (dwIndex >= k.values.size()) return ERROR_NO_MORE_ITEMS;
        auto it = k.values.begin();
        std::advance(it, dwIndex);
        const ce::reg::Value &v = it->second;
        if (v.name.size() >= *lpcchValueName) return ERROR_MORE_DATA;
        DWORD data_size = lpcbData ? *lpcbData : 0;
        LONG r = copy_data(v.data, v.type, lpData, lpcbData ? &data_size : nullptr);
        if (r != ERROR_SUCCESS && !(r == ERROR_INVALID_PARAMETER && !lpData)) {
            if (lpcbData) *lpcbData = data_size;
            return r;
        }
        memcpy(lpValueName, v.name.c_str(), (v.name.size() + 1) * sizeof(WCHAR));
        *lpcchValueName = static_cast<DWORD>(v.name.size());
        if (lpcbData) *lpcbData = data_size;
        if (lpType) *lpType = v.type;
        return ERROR_SUCCESS;
    });
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    std::u16string name = ce::reg::fold(name_or_empty(lpValueName));
    return with_key(hKey, [&](Key &k) -> LONG {
        auto it = k.values.find(name);
        if (it == k.values.end()) {
            if (lpcbData && !lpData) *lpcbData = 0;
            return ERROR_FILE_NOT_FOUND;
        }
        if (lpType) *lpType = it->second.type;
        return copy_data(it->second.data, it->second.type, lpData, lpcbData);
    });
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData, DWORD cbData) {
    if (!lpData && cbData > 0) return ERROR_INVALID_PARAMETER;
    std::u16string name = name_or_empty(lpValueName);
    if (name.size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
    return change_key(hKey, [&](Key &k, bool &changed) -> LONG {
        ce::reg::Value &v = k.values[ce::reg::fold(name)];
        if (v.name.empty()) v.name = name;
        v.type = dwType;
        v.data.assign(lpData, lpData + cbData);
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    std::u16string name = ce::reg::fold(name_or_empty(lpValueName));
    return change_key(hKey, [&](Key &k, bool &changed) -> LONG {
        if (k.values.erase(name) == 0) return ERROR_FILE_NOT_FOUND;
        changed = true;
        return ERROR_SUCCESS;
    });
}

// As on the handheld, the key goes with everything below it.
LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    std::vector<std::u16string> sub = ce::reg::split_path(name_or_empty(lpSubKey));
    if (sub.empty()) return ERROR_INVALID_PARAMETER;  // a key cannot delete itself
    return change_key(hKey, [&](Key &k, bool &changed) -> LONG {
        std::vector<std::u16string> parent_path(sub.begin(), sub.end() - 1);
        Key *parent = ce::reg::find(k, parent_path);
        if (!parent || parent->subkeys.erase(ce::reg::fold(sub.back())) == 0) return ERROR_FILE_NOT_FOUND;
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    ce::ObjectKind kind;
    if (!ce::handle_kind(reinterpret_cast<HANDLE>(hKey), &kind) || kind != ce::ObjectKind::RegistryKey)
        return ERROR_INVALID_HANDLE;
    ce::handle_remove(reinterpret_cast<HANDLE>(hKey));
    return ERROR_SUCCESS;
}

// ---- desktop (ANSI) forms ------------------------------------------------

namespace {

// Narrow text in the PC's code page to wide; false when it is not text there.
bool to_wide(LPCSTR s, std::u16string &out) {
    out.clear();
    if (!s) return true;
    size_t n = mbstowcs(static_cast<WCHAR *>(nullptr), s, 0);
    if (n == static_cast<size_t>(-1)) return false;
    out.resize(n + 1);
    mbstowcs(out.data(), s, n + 1);
    out.resize(n);
    return true;
}

}  // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    std::u16string sub;
    if (!to_wide(lpSubKey, sub)) return ERROR_INVALID_PARAMETER;
    return RegOpenKeyExW(hKey, lpSubKey ? sub.c_str() : nullptr, ulOptions, samDesired, phkResult);
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    std::u16string name;
    if (!to_wide(lpValueName, name)) return ERROR_INVALID_PARAMETER;
    DWORD type = 0, size = 0;
    LONG r = RegQueryValueExW(hKey, name.c_str(), lpReserved, &type, nullptr, &size);
    if (r != ERROR_SUCCESS) {
        if (lpcbData && !lpData) *lpcbData = 0;
        return r;
    }
    std::vector<uint8_t> data(size + 2, 0);
    r = RegQueryValueExW(hKey, name.c_str(), lpReserved, &type, data.data(), &size);
    if (r != ERROR_SUCCESS) return r;
    data.resize(size);
    if (is_string_type(type)) {
        // String data comes out in the PC's code page.
        std::u16string wide(size / 2, u'\0');
        memcpy(wide.data(), data.data(), wide.size() * sizeof(char16_t));
        std::string narrow;
        if (!wide.empty()) {
            int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                        nullptr);
            narrow.resize(static_cast<size_t>(n));
            WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), n, nullptr,
                                nullptr);
        }
        data.assign(narrow.begin(), narrow.end());
    }
    if (lpType) *lpType = type;
    if (!lpData) {
        if (lpcbData) *lpcbData = static_cast<DWORD>(data.size());
        return ERROR_SUCCESS;
    }
    DWORD room = *lpcbData;
    *lpcbData = static_cast<DWORD>(data.size());
    if (room < data.size()) return ERROR_MORE_DATA;
    if (!data.empty()) memcpy(lpData, data.data(), data.size());
    if (is_string_type(type) && (data.empty() || data.back() != 0) && room > data.size()) lpData[data.size()] = 0;
    return ERROR_SUCCESS;
}

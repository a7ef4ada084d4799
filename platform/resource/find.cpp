// FindResourceW and its companions, and GetModuleHandleW.
#include "ce/resource.h"
#include "ce/text.h"
#include "resource/modules.h"

#include <string>

namespace {

// A resource type or name as passed by the caller: a number or a string.
ce::res::Id id_of(LPCWSTR p) {
    ce::res::Id id;
    if (IS_INTRESOURCE(p)) {
        id.number = static_cast<uint16_t>(reinterpret_cast<ULONG_PTR>(p));
        return id;
    }
    return ce::res::id_from_text(std::u16string(p));
}

// A narrow name in the PC's code page, as a wide one.
std::u16string widen(LPCSTR s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 0) return std::u16string();
    std::u16string w(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
    w.resize(static_cast<size_t>(n - 1));
    return w;
}

ce::res::Id id_of(LPCSTR p) {
    ce::res::Id id;
    if (IS_INTRESOURCE(p)) {
        id.number = static_cast<uint16_t>(reinterpret_cast<ULONG_PTR>(p));
        return id;
    }
    return ce::res::id_from_text(widen(p));
}

std::string lower_ascii(std::string s) {
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// "libtrvpafind.so.1" answers to "trvpafind", "trvpafind.dll", "libtrvpafind.so".
bool module_name_matches(const std::string &loaded_path, std::string wanted) {
    std::string file = lower_ascii(loaded_path.substr(loaded_path.find_last_of('/') + 1));
    size_t cut = wanted.find_last_of("\\/");
    if (cut != std::string::npos) wanted = wanted.substr(cut + 1);
    wanted = lower_ascii(wanted);
    if (file == wanted) return true;
    for (const char *ext : {".dll", ".exe", ".so"})
        if (wanted.size() > strlen(ext) && wanted.compare(wanted.size() - strlen(ext), std::string::npos, ext) == 0)
            wanted.resize(wanted.size() - strlen(ext));
    size_t so = file.find(".so");
    std::string stem = so == std::string::npos ? file : file.substr(0, so);
    return stem == wanted || stem == "lib" + wanted;
}

HMODULE module_by_name(const std::string &name) {
    for (const auto &[module, path] : ce::loaded_modules())
        if (!path.empty() && module_name_matches(path, name)) return module;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

}  // namespace

HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
    if (!lpName || !lpType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return ce::resource_handle(hModule, id_of(lpType), id_of(lpName));
}

HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    if (!lpName || !lpType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return ce::resource_handle(hModule, id_of(lpType), id_of(lpName));
}

HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo) {
    ce::FoundResource found;
    if (!ce::resource_of_handle(hModule, hResInfo, &found)) return nullptr;
    return const_cast<unsigned char *>(found.data);
}

LPVOID LockResource(HGLOBAL hResData) { return hResData; }

DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    ce::FoundResource found;
    if (!ce::resource_of_handle(hModule, hResInfo, &found)) return 0;
    return static_cast<DWORD>(found.size);
}

BOOL FreeResource(HGLOBAL) { return FALSE; }

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
    if (!lpModuleName) return ce::program_module();
    std::string name;
    for (const WCHAR *p = lpModuleName; *p; ++p) name.push_back(*p < 0x80 ? static_cast<char>(*p) : '?');
    return module_by_name(name);
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    if (!lpModuleName) return ce::program_module();
    return module_by_name(lpModuleName);
}

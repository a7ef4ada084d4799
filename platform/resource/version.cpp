// Version information of module files: the VS_VERSIONINFO resource that a
// program or library declares in its resource script, read from the file's
// .ce_resources section (where ce_add_resources puts the compiled data).
#include "ce/resource.h"
#include "ce/text.h"
#include "core/root.h"
#include "resource/elf_section.h"
#include "resource/res_format.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// The version resource of a module file; false with the last error set.
bool read_version_resource(LPCWSTR filename, std::vector<unsigned char> *out) {
    if (!filename || !*filename) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    int n = WideCharToMultiByte(CP_UTF8, 0, filename, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    std::string path(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, filename, -1, path.data(), n, nullptr, nullptr);
    path.resize(static_cast<size_t>(n - 1));

    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t offset = 0, length = 0;
    std::string error;
    if (!ce::elf_section(file.data(), file.size(), ".ce_resources", &offset, &length, &error)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    std::vector<ce::res::Entry> entries;
    if (!ce::res::parse_res(file.data() + offset, length, &entries, &error)) {
        ce::report("Reading the version of " + path + ": " + error);
        SetLastError(ERROR_BAD_FORMAT);
        return false;
    }
    for (const ce::res::Entry &e : entries) {
        if (!(e.type.is_number && e.type.number == 16)) continue;  // RT_VERSION
        const unsigned char *data = file.data() + offset + e.offset;
        if (!ce::res::check_version_block(data, e.size, &error)) {
            ce::report("Reading the version of " + path + ": " + error);
            SetLastError(ERROR_BAD_FORMAT);
            return false;
        }
        out->assign(data, data + e.size);
        return true;
    }
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return false;
}

}  // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle) *lpdwHandle = 0;
    std::vector<unsigned char> block;
    if (!read_version_resource(lptstrFilename, &block)) return 0;
    return static_cast<DWORD>(block.size());
}

BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData) {
    if (!lpData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<unsigned char> block;
    if (!read_version_resource(lptstrFilename, &block)) return FALSE;
    // A cut block would still claim its full length, and a later
    // VerQueryValueW would read past the caller's buffer: refuse it instead.
    if (dwLen < block.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(lpData, block.data(), block.size());
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID *lplpBuffer, UINT *puLen) {
    if (!pBlock || !lpSubBlock || !lplpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The block's first word is its whole length: every read stays within it.
    const unsigned char *block = static_cast<const unsigned char *>(pBlock);
    size_t size = static_cast<size_t>(block[0] | (block[1] << 8));
    std::string error;
    if (!ce::res::check_version_block(block, size, &error)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    std::vector<std::u16string> path(1);
    for (const WCHAR *p = lpSubBlock; *p; ++p) {
        if (*p == u'\\') {
            if (!path.back().empty()) path.emplace_back();
        } else {
            path.back().push_back(*p);
        }
    }
    if (path.back().empty()) path.pop_back();
    ce::res::VersionValue value;
    if (!ce::res::find_version_value(block, size, path, &value, &error) || (path.empty() && value.value_size == 0)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    *lplpBuffer = const_cast<unsigned char *>(value.value);
    if (puLen) *puLen = value.is_text ? value.declared_length : static_cast<UINT>(value.value_size);
    return TRUE;
}

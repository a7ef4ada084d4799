// ce_file_version <file> [expected]: prints the file version that a program
// or library declares in its resource script (as a.b.c.d); with an expected
// version, ends with status 1 when it differs. Used by ce_check_file_version.
#include "platform.h"
#include "core/codepage.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: ce_file_version <file> [expected a.b.c.d]\n");
        return 2;
    }
    std::u16string path = ce::from_utf8(argv[1]);
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    std::vector<unsigned char> block(size ? size : 1);
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (!size || !GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), u"\\", reinterpret_cast<LPVOID *>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        fprintf(stderr, "ce_file_version: %s: no version information (error %u)\n", argv[1],
                static_cast<unsigned>(GetLastError()));
        return 1;
    }
    std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                          std::to_string(LOWORD(fixed->dwFileVersionLS));
    printf("%s\n", version.c_str());
    if (argc == 3 && version != argv[2]) {
        fprintf(stderr, "ce_file_version: %s declares file version %s, expected %s\n", argv[1], version.c_str(),
                argv[2]);
        return 1;
    }
    return 0;
}

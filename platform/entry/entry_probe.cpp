// A program started through ceentry for the entry tests: prints what its
// WinMain received and ends with the length of its argument text.
#include "platform.h"
#include "core/codepage.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifdef CE_PROBE_NARROW
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int show) {
    std::string args = arguments;
    std::string line = GetCommandLineA();
#else
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR arguments, int show) {
    std::string args = ce::to_utf8(arguments);
    std::string line = ce::to_utf8(GetCommandLineW());
#endif
    WCHAR text[32];
    LoadStringW(instance, 1, text, 32);
    printf("instance=%s\n", instance == GetModuleHandleW(nullptr) && instance ? "program" : "other");
    printf("previous=%s\n", previous ? "set" : "null");
    printf("show=%d\n", show);
    printf("string=%s\n", ce::to_utf8(text).c_str());
    printf("args=[%s]\n", args.c_str());
    printf("line=[%s]\n", line.c_str());
    return static_cast<int>(args.size());
}

// main() of a program whose entry is the handheld's WinMain (wide command line).
#include "ce/resource.h"
#include "entry/command_line.h"

int main(int argc, char **argv) {
    ce::set_program_arguments(argc, argv);
    const int kShowNormal = 1;  // SW_SHOWNORMAL
    return WinMain(GetModuleHandleW(nullptr), nullptr, ce::arguments_after_program(GetCommandLineW()), kShowNormal);
}

// main() of a program whose entry is the desktop's WinMain (narrow command
// line in the PC's code page).
#include "ce/resource.h"
#include "entry/command_line.h"

int main(int argc, char **argv) {
    ce::set_program_arguments(argc, argv);
    const int kShowNormal = 1;  // SW_SHOWNORMAL
    return WinMain(GetModuleHandleW(nullptr), nullptr, ce::arguments_after_program(GetCommandLineA()), kShowNormal);
}

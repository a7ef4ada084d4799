// The program's command line, as GetCommandLineW/A answer it, and the part
// after the program's name that WinMain receives.
#pragma once

#include "ce/base.h"

#include <string>
#include <vector>

namespace ce {

// Recorded by main() in ceentry before WinMain runs; without it the
// arguments are read from /proc/self/cmdline.
void set_program_arguments(int argc, char **argv);

// Joins arguments into one line that the platform's rules split back into
// the same words: a word with blanks or quotes (or an empty one) is quoted,
// backslashes before a quote doubled. The program's name is only quoted.
std::string join_command_line(const std::vector<std::string> &words);

// The text after the program's name and the blanks that follow it.
LPWSTR arguments_after_program(LPWSTR line);
LPSTR arguments_after_program(LPSTR line);

}  // namespace ce

// Command lines of the desktop platform: how a started program's arguments
// are split, and where the program of an unquoted command line is looked for.
#pragma once

#include <string>
#include <vector>

namespace ce::file {

// Splits a command line into arguments by the platform's C runtime rules:
// the first argument ends at the next space or tab, or, when it starts with
// a double quote, at the next double quote; in the others 2n backslashes
// before a quote give n backslashes and the quote opens or closes a quoted
// part, 2n+1 give n and a literal quote, "" inside a quoted part is a
// literal quote, and other backslashes are literal.
std::vector<std::string> split_command_line(const std::string &line);

// The program paths tried for a command line given without a program name,
// in order: the quoted first token alone; or, unquoted, every prefix that
// ends before a space, shortest first, then the whole line. ".exe" is added
// to a name whose last component has no extension.
std::vector<std::string> program_candidates(const std::string &line);

// Joins arguments into one command line that splits back into them.
std::string join_command_line(const std::vector<std::string> &args);

}  // namespace ce::file

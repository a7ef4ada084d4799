// The machine root: the folder that holds the simulated handheld and PC.
#pragma once

#include <string>

namespace ce {

// CE_ROOT, else $XDG_DATA_HOME/ce-root, else ~/.local/share/ce-root; created
// (with its parents) on first use. Read anew on each call so that tests can
// point a process at a fresh root.
std::string machine_root();

// Creates a directory and its missing parents; true when it exists afterwards.
bool make_directories(const std::string &path);

// One line on standard error, prefixed with the program's name: the platform's
// way of telling a person about a fault that no result code can carry.
void report(const std::string &line);

}  // namespace ce

// The registry file CE_ROOT/system.reg and the tree loaded from it.
//
// Every call looks at the file first and reloads it when another process has
// replaced it. Changes are made under an exclusive lock on system.reg.lock,
// on a freshly loaded tree, and written atomically (temporary file, fsync,
// rename), so concurrent writers never lose each other's changes and a crash
// never leaves a half-written registry. A malformed file is never overwritten:
// reads and writes fail with ERROR_BADDB and the fault is reported once,
// naming the file and line.
#pragma once

#include "registry/hive.h"

#include <functional>
#include <string>

namespace ce::reg {

// Runs `fn` on the current tree, under the process's registry lock.
LONG with_tree(const std::function<LONG(Key &root)> &fn);

// Runs `fn` on the current tree under the file lock; when `fn` succeeds and
// says it changed something, the tree is saved before the lock is released.
LONG change_tree(const std::function<LONG(Key &root, bool &changed)> &fn);

// "file:line: message" for a registry file that cannot be read; else empty.
std::string load_error();

// Path of the registry file of the current machine root.
std::string registry_file();

// Applies a registry export text (see parse) in one atomic change. On a
// malformed text, returns ERROR_BADDB with `error` naming the line, and
// changes nothing.
LONG import_text(std::string_view text, std::string *error);

}  // namespace ce::reg

// One place where POSIX errno values become the platform's result codes.
#pragma once

#include "ce/base.h"

namespace ce {

// The platform's code for an errno value; ERROR_GEN_FAILURE for one that has
// no closer match, never 0.
DWORD error_from_errno(int err);

// Sets the last error from errno as it is now.
void set_last_error_from_errno();

}  // namespace ce

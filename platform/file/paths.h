// Windows paths of the desktop side and the host files they stand for.
//
// A drive letter X maps through the symbolic link CE_ROOT/dosdevices/x:
// (by default c: -> CE_ROOT/drive_c and z: -> /, made on first use). Paths
// are normalised as the platform does ("." and ".." resolved in the text, so
// ".." never climbs above a drive's root), and each component is found
// without regard to ASCII case when its exact spelling does not exist.
#pragma once

#include "ce/base.h"

#include <string>

namespace ce::file {

// CE_ROOT/dosdevices, created with the default drives when it is missing.
std::string dosdevices_dir();

// The host path of a Windows path in the ANSI code page. False with a
// platform error (ERROR_INVALID_NAME, ERROR_PATH_NOT_FOUND, ERROR_BAD_NETPATH)
// when it has none.
bool to_host_path(const char *windows_path, std::string *host, DWORD *error);

// The Windows form (ANSI code page) of an absolute host path, through the
// drive whose target is the longest leading part of it; false when no drive
// holds it.
bool to_windows_path(const std::string &host, std::string *windows);

// The error for a path that does not exist: ERROR_FILE_NOT_FOUND when its
// folder exists, ERROR_PATH_NOT_FOUND when the folder itself is missing.
DWORD not_found_error(const std::string &host);

// The platform error for a C library errno value.
DWORD error_from_errno(int e);

// Text in the ANSI code page <-> the host's UTF-8 file names; false when the
// text has no form in the other encoding.
bool ansi_to_host(const std::string &ansi, std::string *utf8);
bool host_to_ansi(const std::string &utf8, std::string *ansi);

}  // namespace ce::file

// The port map: which device a COM name stands for.
#pragma once

#include "ce/base.h"

#include <string>

namespace ce::serial {

// The number in a device name of the form COMn: (any case, n from 0 to 255
// without leading zeros); -1 when the name is not of that form.
int com_number(const WCHAR *name);

// The device path that HKEY_LOCAL_MACHINE\Platform\Ports\COMn holds; empty
// when the port is unmapped or disabled (empty value) or not text.
std::string device_path(int number);

}  // namespace ce::serial

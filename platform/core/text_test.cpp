#include "platform.h"
#include "testsupport/temp_root.h"

#include "registry/hive.h"

// Placeholder: declarations land with the family that provides them.
#pragma once

#include "ce/base.h"

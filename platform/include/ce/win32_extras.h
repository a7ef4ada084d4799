// Declarations of the handheld SDK that the desktop SDK lacks, so that the
// programs also compile against MinGW-w64 headers.
#pragma once

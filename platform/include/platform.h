// The one header the kit's programs include: the operating system's interface.
//
// Built for Windows, it is the real SDK. Built for this host, it declares our
// own implementation (libplatform), grouped by the folder that provides it.
#pragma once

#ifdef _WIN32
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "ce/win32_extras.h"  // what the handheld SDK has and the desktop's lacks
#else
#include "ce/base.h"      // types, handles, last error              (core/)
#include "ce/text.h"      // wide text, code pages                    (core/)
#include "ce/registry.h"  // HKEY_LOCAL_MACHINE                       (registry/)
#include "ce/sync.h"      // threads, waits, mutexes, time, local heap (sync/)
#include "ce/serial.h"    // COM ports, DCB                           (serial/)
#include "ce/file.h"      // files, drives, processes                  (file/)
#include "ce/resource.h"  // embedded resources, string tables         (resource/)
#include "ce/window.h"    // windows, messages, dialogs, message boxes (window/, controls/)
#endif

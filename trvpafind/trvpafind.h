// Port locator library: which COM port the handheld gave the adapter card.
#pragma once

#ifdef _WIN32
#ifdef TRVPAFIND_EXPORTS
#define TRVPAFIND_API __declspec(dllexport)
#else
#define TRVPAFIND_API __declspec(dllimport)
#endif
#else
#define TRVPAFIND_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The number of the COM port assigned to the adapter (5 for COM5:), or 0 when
// no adapter is present. Scans the active-driver table anew on every call;
// safe to call from any thread.
TRVPAFIND_API int FindComPort(void);

#ifdef __cplusplus
}
#endif

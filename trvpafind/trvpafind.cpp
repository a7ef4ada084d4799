// FindComPort: scans HKEY_LOCAL_MACHINE\Drivers\Active for the adapter's
// Plug-and-Play identifier and reads the port number from its device name.
#define TRVPAFIND_EXPORTS
#include "trvpafind.h"

#include "platform.h"

#include <errno.h>
#include <limits.h>

// Every model of the series begins with this identifier; the model digit that
// follows is not examined.
#define ADAPTER_PNPID_PREFIX TEXT("KESTROW_DEVICE_LABS-TRV-PA0")

#define SUBKEY_NAME_CHARS 256  // terminator included
#define VALUE_BUFFER_BYTES 512
#define DEVICE_NAME_BYTES 32

// The decimal integer at the start of text, as atoi reads it (leading blanks
// and a sign accepted, stops at the first non-digit, no digits give 0); a
// number too large for an int gives 0 instead of an undefined result.
static int ReadDecimal(const char *text)
{
    long number;

    errno = 0;
    number = strtol(text, NULL, 10);
    if (errno == ERANGE || number > INT_MAX || number < INT_MIN) {
        return 0;
    }
    return (int)number;
}

// The port number in a device name such as COM5: (5), read after its first
// three characters, whatever they are.
static int PortNumberFromDeviceName(const WCHAR *name)
{
    char deviceName[DEVICE_NAME_BYTES];
    char *colon;

    // Zeroed first and always terminated: a name shorter than three bytes
    // reads as 0, a name of 32 bytes or more is cut, never read past.
    memset(deviceName, 0, sizeof(deviceName));
    wcstombs(deviceName, name, sizeof(deviceName));
    deviceName[DEVICE_NAME_BYTES - 1] = '\0';

    colon = strchr(deviceName, ':');
    if (colon != NULL) {
        *colon = '\0';
    }
    return ReadDecimal(deviceName + 3);
}

extern "C" TRVPAFIND_API int FindComPort(void)
{
    HKEY drivers;
    HKEY active;
    HKEY device;
    DWORD disposition;
    DWORD type;
    DWORD size;
    DWORD nameChars;
    DWORD index;
    WCHAR subkeyName[SUBKEY_NAME_CHARS];
    // One character more than the reads may fill, so the text always ends.
    WCHAR value[VALUE_BUFFER_BYTES / sizeof(WCHAR) + 1];
    int port = 0;

    // Open HKEY_LOCAL_MACHINE\Drivers, then its subkey Active.
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("Drivers"), 0, NULL, 0, KEY_READ, NULL, &drivers,
                        &disposition) != ERROR_SUCCESS) {
        return 0;
    }
    if (RegCreateKeyExW(drivers, TEXT("Active"), 0, NULL, 0, KEY_READ, NULL, &active, &disposition) !=
        ERROR_SUCCESS) {
        RegCloseKey(drivers);
        return 0;
    }

    // Look at each loaded driver until the first enumeration call that fails.
    for (index = 0;; index++) {
        nameChars = SUBKEY_NAME_CHARS;
        if (RegEnumKeyExW(active, index, subkeyName, &nameChars, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) {
            break;
        }
        if (RegCreateKeyExW(active, subkeyName, 0, NULL, 0, KEY_READ, NULL, &device, &disposition) !=
            ERROR_SUCCESS) {
            continue;
        }

        // Cleared before each read, so that a short value never meets the
        // text of an earlier one.
        memset(value, 0, sizeof(value));
        size = VALUE_BUFFER_BYTES;
        if (RegQueryValueExW(device, TEXT("PnpId"), NULL, &type, (LPBYTE)value, &size) == ERROR_SUCCESS &&
            wcsncmp(value, ADAPTER_PNPID_PREFIX, wcslen(ADAPTER_PNPID_PREFIX)) == 0) {
            memset(value, 0, sizeof(value));
            size = VALUE_BUFFER_BYTES;
            if (RegQueryValueExW(device, TEXT("Name"), NULL, &type, (LPBYTE)value, &size) == ERROR_SUCCESS) {
                port = PortNumberFromDeviceName(value);
                RegCloseKey(device);
                break;
            }
        }
        RegCloseKey(device);
    }

    RegCloseKey(active);
    RegCloseKey(drivers);
    return port;
}

// The library's load and unload entry: nothing to set up or tear down.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

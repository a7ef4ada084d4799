// The terminal's state record, and opening and closing the serial port.
#include "terminal.h"

TerminalState g_terminal;

void ShowError(HWND window, LPCWSTR format, DWORD error, UINT icon)
{
    WCHAR message[MESSAGE_CHARS];
    wsprintfW(message, format, (int)error);
    MessageBoxW(window, message, TERMINAL_CAPTION, MB_OK | icon);
}

// Opens COM<portNumber>: and reads its line settings into commState.
// Returns 1 on success; else tells the user and returns 0.
BOOL OpenPort(HWND window)
{
    // Complete the label (COM5) and form the device name (COM5:)
    WCHAR deviceName[PORT_LABEL_CHARS];
    wsprintfW(g_terminal.portLabel, TEXT("COM%d"), (int)g_terminal.portNumber);
    wcscpy(deviceName, g_terminal.portLabel);
    wcscat(deviceName, TEXT(":"));

    // Open it for reading and writing, not shared
    g_terminal.port = CreateFileW(deviceName, GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                  OPEN_EXISTING, 0, NULL);
    if (g_terminal.port == NULL || g_terminal.port == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        // Nothing is open: keep "no port" as 0, so ClosePort never closes a bad handle
        g_terminal.port = NULL;
        ShowError(window, TEXT("ERROR: COM Port Open Failure. [code %d]"), error, MB_ICONHAND);
        return FALSE;
    }

    // Read its current settings
    g_terminal.commState.DCBlength = sizeof(DCB);
    if (!GetCommState(g_terminal.port, &g_terminal.commState)) {
        DWORD error = GetLastError();
        ShowError(window, TEXT("ERROR: 'GetCommState()' Function Failed. [code %d]"), error,
                  MB_ICONHAND);
        ClosePort();
        return FALSE;
    }
    return TRUE;
}

// Closes the port if one is open. A worker that was stopped but had not yet
// ended (still inside a write) is finished first, so that no worker ever uses
// the port after it has been closed.
void ClosePort()
{
    if (g_terminal.port == NULL) {
        return;
    }
    FinishStoppedWorker();
    CloseHandle(g_terminal.port);
    g_terminal.port = NULL;
}

// The terminal's one state record and the functions of its parts.
//
// Two threads share TerminalState: the user-interface thread (dialogs) and
// the receive and send worker. Each field says which thread writes it. The
// two flags the threads hand over through are atomics: the user-interface
// thread fills sendText and only then sets sendRequest (release); the worker
// reads sendText only after it has seen sendRequest at 1 (acquire).
#pragma once

#include "platform.h"
#include "resource.h"

#include <atomic>

#define TERMINAL_CAPTION TEXT("TRV-PA0x SAMPLE")

#define PORT_LABEL_CHARS 32
#define SEND_TEXT_BYTES 256
#define SEND_FIELD_CHARS 256
#define RX_CHUNK_BYTES 256
#define RX_DISPLAY_CHARS 1024
#define MESSAGE_CHARS 256

#define RX_IDLE_FLUSH_MS 250
#define STOP_WAIT_MS 10
#define SEND_WAIT_MS 5000

// Settings lists, in the order of savedSelections.
#define SEL_BAUD 0
#define SEL_DATABITS 1
#define SEL_PARITY 2
#define SEL_STOPBITS 3
#define SEL_FLOW 4
#define SELECTION_COUNT 5

// A received chunk: wParam a local-heap block the receiver frees, lParam its
// byte count (1 to 256).
#define WM_RXDATA (WM_USER + 1001)

// One instance for the life of the process; "COM" in portLabel, everything
// else zero (no worker, no port) until the program starts.
struct TerminalState {
    HINSTANCE instance;                       // UI thread, at program start
    LONG portNumber;                          // UI thread (main dialog)
    WCHAR portLabel[PORT_LABEL_CHARS] = TEXT("COM"); // UI thread (OpenPort)
    HANDLE port;                              // UI thread; worker only reads it
    DCB commState;                            // UI thread only
    HANDLE worker;                            // UI thread only; NULL when none
    HANDLE stoppedWorker;                     // UI thread only: a stopped worker not yet ended
    std::atomic<LONG> running;                // UI thread; worker only reads it
    std::atomic<LONG> sendRequest;            // set by the UI thread, cleared by the worker
    char sendText[SEND_TEXT_BYTES];           // UI thread, only while sendRequest is 0
    WCHAR sendFieldCopy[SEND_FIELD_CHARS + 1]; // UI thread only
    BYTE rxChunk[RX_CHUNK_BYTES];             // worker only
    WCHAR rxDisplay[RX_DISPLAY_CHARS];        // UI thread only
    LONG savedSelections[SELECTION_COUNT];    // UI thread only
    LONG firstSettings;                       // UI thread only
};

extern TerminalState g_terminal;

// Port (port.cpp)
BOOL OpenPort(HWND window);
void ClosePort();

// Settings dialog (settings_dialog.cpp)
BOOL ShowSettings(HWND window);
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Receive and send worker (worker.cpp)
BOOL StartWorker(HWND window);
void StopWorker();
void FinishStoppedWorker();
DWORD WINAPI ReceiveWorker(LPVOID parameter);
void SendText(HWND window);

// Main dialog and program start (main_dialog.cpp, program.cpp)
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int RunTerminal(HINSTANCE instance);

// Shows a message box owned by the window: the template formatted with the
// given error code, the terminal's caption, one OK button and the icon.
void ShowError(HWND window, LPCWSTR format, DWORD error, UINT icon);

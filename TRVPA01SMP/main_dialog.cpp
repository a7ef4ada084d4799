// The main terminal dialog: finds and opens the adapter's port, drives the
// settings dialog and the worker, sends the typed text and shows what arrives.
#include "terminal.h"
#include "trvpafind.h"

#include <string.h>

static void ClearFields(HWND dialog)
{
    SetDlgItemTextW(dialog, IDC_SEND_TEXT, TEXT(""));
    SetDlgItemTextW(dialog, IDC_RECV_TEXT, TEXT(""));
    memset(g_terminal.rxDisplay, 0, sizeof(g_terminal.rxDisplay));
}

static INT_PTR InitMainDialog(HWND dialog)
{
    // Find the adapter's port
    g_terminal.portNumber = FindComPort();
    if (g_terminal.portNumber < 1 || g_terminal.portNumber > 10) {
        MessageBoxW(dialog, TEXT("ERROR: Device Not Found."), TERMINAL_CAPTION, MB_OK | MB_ICONHAND);
        EndDialog(dialog, 0);
        return 0;
    }

    // Open it (OpenPort tells the user when it cannot)
    if (!OpenPort(dialog)) {
        EndDialog(dialog, 0);
        return 0;
    }

    // An empty menu bar
    SHMENUBARINFO menuBar;
    memset(&menuBar, 0, sizeof(menuBar));
    menuBar.cbSize = sizeof(menuBar);
    menuBar.hwndParent = dialog;
    menuBar.dwFlags = SHCMBF_EMPTYBAR;
    menuBar.hInstRes = g_terminal.instance;
    SHCreateMenuBar(&menuBar);

    // "Setting" waits until the first settings are confirmed
    EnableWindow(GetDlgItem(dialog, IDC_SETTING), FALSE);

    // Open the settings dialog once this one is up
    PostMessageW(dialog, WM_COMMAND, CMD_OPEN_SETTINGS, 0);
    return 0;
}

// Appends a received chunk to the receive field and frees its block.
static void ShowReceived(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    HLOCAL block = (HLOCAL)wParam;
    // The worker posts 1 to 256 bytes; anything else is not ours to read
    if (block == NULL || lParam < 1 || lParam > RX_CHUNK_BYTES) {
        return;
    }

    // To wide text; reads no byte past the block, stops at a zero byte
    WCHAR text[RX_CHUNK_BYTES + 1];
    memset(text, 0, sizeof(text));
    mbstowcs(text, (const char *)block, (size_t)lParam);

    // Drop what is shown when the chunk might not fit (counted in bytes)
    if (wcslen(g_terminal.rxDisplay) + (size_t)lParam >= RX_DISPLAY_CHARS) {
        memset(g_terminal.rxDisplay, 0, sizeof(g_terminal.rxDisplay));
    }
    wcscat(g_terminal.rxDisplay, text);
    SetDlgItemTextW(dialog, IDC_RECV_TEXT, g_terminal.rxDisplay);

    LocalFree(block);
}

static void OpenSettings(HWND dialog)
{
    if (!ShowSettings(dialog)) {
        // Cancelled: the program ends
        PostQuitMessage(0);
        return;
    }
    EnableWindow(GetDlgItem(dialog, IDC_SETTING), TRUE);
    if (!StartWorker(dialog)) {
        // Ask again until the settings can be applied or the user cancels
        PostMessageW(dialog, WM_COMMAND, CMD_OPEN_SETTINGS, 0);
    }
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitMainDialog(dialog);
    case WM_RXDATA:
        ShowReceived(dialog, wParam, lParam);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:  // "EXIT"
            StopWorker();
            ClosePort();
            EndDialog(dialog, 0);
            return 0;
        case CMD_OPEN_SETTINGS:
            OpenSettings(dialog);
            return 0;
        case IDC_SEND:
            SendText(dialog);
            return 0;
        case IDC_SETTING:
            StopWorker();
            ClearFields(dialog);
            PostMessageW(dialog, WM_COMMAND, CMD_OPEN_SETTINGS, 0);
            return 0;
        case IDC_CLEAR:
            ClearFields(dialog);
            return 0;
        }
        break;
    }
    return DefWindowProcW(dialog, message, wParam, lParam);
}

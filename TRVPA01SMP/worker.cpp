// The receive and send worker: the only thread that reads and writes the
// open port while it runs. It polls the port about once a millisecond, gathers
// received bytes into chunks of at most 256 bytes and posts each to the main
// dialog as WM_RXDATA; it writes the text that SendText hands over.
#include "terminal.h"

#include <string.h>

// Waits for a worker that StopWorker gave up on (it was still inside a write,
// held by flow control or a slow line) and releases it. Its write is aborted
// first, and again after each short wait, because the worker may have begun
// that write just after an earlier abort. Called before a new worker starts
// and before the port is closed, so an old worker never runs beside the next
// one and never uses a closed port.
void FinishStoppedWorker()
{
    if (g_terminal.stoppedWorker == NULL) {
        return;
    }
    for (;;) {
        DWORD waited = WaitForSingleObject(g_terminal.stoppedWorker, 0);
        if (waited != WAIT_TIMEOUT) {
            break;
        }
        PurgeComm(g_terminal.port, PURGE_TXABORT);
        if (WaitForSingleObject(g_terminal.stoppedWorker, 100) != WAIT_TIMEOUT) {
            break;
        }
    }
    CloseHandle(g_terminal.stoppedWorker);
    g_terminal.stoppedWorker = NULL;
}

// Applies commState to the port and starts the worker. Returns 1 on success;
// else tells the user and returns 0.
BOOL StartWorker(HWND window)
{
    // Never two workers: a worker still running is stopped, and one stopped
    // earlier that is still inside a write is finished, before the port is
    // reconfigured
    StopWorker();
    FinishStoppedWorker();

    // Apply the settings
    if (!SetCommState(g_terminal.port, &g_terminal.commState)) {
        DWORD error = GetLastError();
        ShowError(window, TEXT("ERROR: 'SetCommState()' Function Failed. [code %d]"), error,
                  MB_ICONEXCLAMATION);
        return FALSE;
    }

    // Start the worker; running is 1 before it first looks
    g_terminal.running.store(1, std::memory_order_release);
    DWORD threadId;
    g_terminal.worker = CreateThread(NULL, 0, ReceiveWorker, (LPVOID)window, 0, &threadId);
    if (g_terminal.worker == NULL) {
        DWORD error = GetLastError();
        g_terminal.running.store(0, std::memory_order_release);
        ShowError(window, TEXT("ERROR: 'CreateThread()' Function Failed. [code %d]"), error,
                  MB_ICONHAND);
        return FALSE;
    }
    return TRUE;
}

// Tells the worker to stop and waits for it at most 10 ms. A worker still
// inside a write after that is kept in stoppedWorker, to be finished before
// the next worker starts or the port closes.
void StopWorker()
{
    if (g_terminal.worker == NULL) {
        return;
    }
    g_terminal.running.store(0, std::memory_order_release);
    DWORD exitCode = 0;
    GetExitCodeThread(g_terminal.worker, &exitCode);
    if (exitCode == STILL_ACTIVE) {
        WaitForSingleObject(g_terminal.worker, STOP_WAIT_MS);
    }
    if (WaitForSingleObject(g_terminal.worker, 0) == WAIT_TIMEOUT) {
        // Finish an older one first, so at most one is ever kept
        FinishStoppedWorker();
        g_terminal.stoppedWorker = g_terminal.worker;
    } else {
        CloseHandle(g_terminal.worker);
    }
    g_terminal.worker = NULL;
}

// Hands the first count bytes of rxChunk to the dialog in a new block. On
// success count becomes 0. When the block cannot be allocated or the message
// cannot be posted, nothing is leaked and the bytes stay in rxChunk for the
// next try; returns 0.
static BOOL FlushChunk(HWND window, DWORD *count)
{
    HLOCAL block = LocalAlloc(LMEM_ZEROINIT, *count);
    if (block == NULL) {
        return FALSE;
    }
    memcpy(block, g_terminal.rxChunk, *count);
    if (!PostMessageW(window, WM_RXDATA, (WPARAM)block, (LPARAM)*count)) {
        LocalFree(block);
        return FALSE;
    }
    *count = 0;
    return TRUE;
}

// Reads the bytes waiting at the port one at a time into the chunk, flushing
// each full one. When a full chunk cannot be handed over, the rest stay
// queued at the port, so nothing is dropped.
static void ReceiveWaiting(HWND window, DWORD waiting, DWORD *count)
{
    for (; waiting > 0; waiting--) {
        if (*count == RX_CHUNK_BYTES && !FlushChunk(window, count)) {
            return;
        }
        DWORD received = 0;
        // Only a byte actually read is counted: a failed read adds nothing
        if (!ReadFile(g_terminal.port, g_terminal.rxChunk + *count, 1, &received, NULL) || received != 1) {
            return;
        }
        *count += 1;
        if (*count == RX_CHUNK_BYTES) {
            FlushChunk(window, count);
        }
    }
}

// The worker thread. parameter: the dialog window that receives WM_RXDATA.
DWORD WINAPI ReceiveWorker(LPVOID parameter)
{
    HWND window = (HWND)parameter;
    DWORD count = 0;  // bytes in rxChunk
    DWORD last = GetTickCount();  // when bytes were last read or the idle check fired

    while (g_terminal.running.load(std::memory_order_acquire) == 1) {
        // Pending send: the text is complete once the flag reads 1
        if (g_terminal.sendRequest.load(std::memory_order_acquire) == 1) {
            const char *text = g_terminal.sendText;
            const void *end = memchr(text, 0, SEND_TEXT_BYTES);
            DWORD length = end ? (DWORD)((const char *)end - text) : SEND_TEXT_BYTES;
            DWORD written = 0;
            WriteFile(g_terminal.port, text, length, &written, NULL);
            g_terminal.sendRequest.store(0, std::memory_order_release);
        }

        // Poll
        DWORD errors = 0;
        COMSTAT status;
        memset(&status, 0, sizeof(status));
        if (ClearCommError(g_terminal.port, &errors, &status)) {
            if (count == RX_CHUNK_BYTES) {
                // A full chunk that could not be handed over before
                FlushChunk(window, &count);
            }
            if (status.cbInQue > 0) {
                ReceiveWaiting(window, status.cbInQue, &count);
                last = GetTickCount();
            } else if (GetTickCount() - last >= RX_IDLE_FLUSH_MS) {
                // Idle: flush what has gathered; on failure try again next pass
                if (count == 0 || FlushChunk(window, &count)) {
                    last = GetTickCount();
                }
            }
        }

        // Pause
        Sleep(1);
    }
    // Bytes still in the chunk are dropped
    return 0;
}

// Hands the send field's text to the worker and waits until it has been
// written, at most 5000 ms.
void SendText(HWND window)
{
    // Read the field, at most 256 characters
    GetDlgItemTextW(window, IDC_SEND_TEXT, g_terminal.sendFieldCopy, SEND_FIELD_CHARS + 1);

    // An earlier text may still be being written (its SendText gave up after
    // 5000 ms): sendText must not change under that write, so wait for it
    // first, as long again. If it is still not written, this text is not sent;
    // it stays in the field for the user to send again.
    DWORD start = GetTickCount();
    while (g_terminal.sendRequest.load(std::memory_order_acquire) == 1) {
        if (GetTickCount() - start >= SEND_WAIT_MS) {
            return;
        }
    }

    // Convert it to the code page, at most 256 bytes; a full buffer has no terminator
    memset(g_terminal.sendText, 0, SEND_TEXT_BYTES);
    wcstombs(g_terminal.sendText, g_terminal.sendFieldCopy, SEND_TEXT_BYTES);

    // Hand it over, then wait for the worker to clear the flag
    g_terminal.sendRequest.store(1, std::memory_order_release);
    start = GetTickCount();
    while (g_terminal.sendRequest.load(std::memory_order_acquire) == 1 &&
           GetTickCount() - start < SEND_WAIT_MS) {
    }
}

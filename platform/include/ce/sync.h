// Threads, waits, mutexes, time and the local heap. Provided by platform/sync:
//   thread.cpp  CreateThread, GetExitCodeThread, GetCurrentThreadId
//   wait.cpp    WaitForSingleObject (threads, mutexes, and any other waitable object)
//   mutex.cpp   CreateMutexW, ReleaseMutex (named mutexes are shared by every process
//               using the same machine root)
//   time.cpp    Sleep, GetTickCount
//   heap.cpp    LocalAlloc, LocalFree
#pragma once

#include "ce/base.h"

// ---- waits ------------------------------------------------------------------
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_FAILED 0xFFFFFFFF
// WAIT_TIMEOUT (0x102) comes with the result codes of ce/base.h.
#define STILL_ACTIVE 259
#define ERROR_NOT_OWNER 288L

// Waits for a thread to end, a mutex to be free (and takes it), or any other
// waitable object. Timeout in milliseconds; 0 tests and returns at once.
// WAIT_FAILED with ERROR_INVALID_HANDLE for a handle that is not open or
// cannot be waited on.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// ---- threads ----------------------------------------------------------------
typedef DWORD(WINAPI *PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

#define CREATE_SUSPENDED 0x00000004
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000

// Starts a real thread at once. dwStackSize 0 takes the default. Security
// attributes are ignored. CREATE_SUSPENDED is not supported (NULL,
// ERROR_NOT_SUPPORTED). The thread runs on when its handle is closed.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                    LPDWORD lpThreadId);
// STILL_ACTIVE while the thread runs, else what its routine returned. A thread
// that returns 259 looks the same: test WaitForSingleObject(h, 0) first.
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
DWORD GetCurrentThreadId();

// ---- mutexes ------------------------------------------------------------------
// A named mutex is one object for every process of the machine root. Creating
// an existing name gives a new handle to it with last error
// ERROR_ALREADY_EXISTS (183), and bInitialOwner is then ignored; a fresh
// create sets the last error to 0. The name lives while any handle to it is
// open in any process; a process that dies drops its handles (and a mutex it
// owned is abandoned: the next waiter gets WAIT_ABANDONED and the ownership).
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName);
// FALSE with ERROR_NOT_OWNER when the calling thread does not own the mutex.
BOOL ReleaseMutex(HANDLE hMutex);

// ---- time -----------------------------------------------------------------------
void Sleep(DWORD dwMilliseconds);
// Milliseconds since the machine started, in 32 bits that wrap after 49.7
// days. CE_TICK_START (environment, read at the first call in a process)
// makes the count start at that value instead: a decimal or 0x hex number, or
// a negative number meaning that many milliseconds before the wrap (e.g.
// CE_TICK_START=-5000 wraps five seconds after the first call).
DWORD GetTickCount();

// ---- local heap -------------------------------------------------------------------
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define NONZEROLPTR LMEM_FIXED

// A fixed block (the handle is its address); LMEM_ZEROINIT fills it with
// zeros. Only LMEM_FIXED and LMEM_ZEROINIT are supported: other flags give
// NULL with ERROR_INVALID_PARAMETER. Any thread may free any block.
HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes);
// NULL on success (and for NULL); hMem itself when it fails.
HLOCAL LocalFree(HLOCAL hMem);

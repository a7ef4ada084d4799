// Files, directories, drives and processes of the desktop side, in the PC's
// ANSI code page. Windows paths ("C:\dir\file") are mapped to this host's
// files through the drive links in CE_ROOT/dosdevices. Provided by
// platform/file.
#pragma once

#include "ce/base.h"

#ifndef MAX_PATH
#define MAX_PATH 260
#endif

// ---- file attributes -------------------------------------------------------
#define INVALID_FILE_ATTRIBUTES ((DWORD)0xFFFFFFFF)
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100

#ifndef ERROR_BAD_NETPATH
#define ERROR_BAD_NETPATH 53L
#endif
#ifndef ERROR_DISK_FULL
#define ERROR_DISK_FULL 112L
#endif
#ifndef ERROR_DIRECTORY
#define ERROR_DIRECTORY 267L
#endif
#ifndef ERROR_BAD_EXE_FORMAT
#define ERROR_BAD_EXE_FORMAT 193L
#endif

// The attributes of a file or directory; INVALID_FILE_ATTRIBUTES with
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when it is missing. Read-only
// is the owner's write permission being absent; a file with no other
// attribute is FILE_ATTRIBUTE_NORMAL.
DWORD GetFileAttributesA(LPCSTR lpFileName);

// Sets or clears FILE_ATTRIBUTE_READONLY (the write permissions); the other
// attributes have no form on this host and are accepted and ignored.
BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes);

// Creates one directory; its parent must exist (ERROR_PATH_NOT_FOUND), and
// anything of that name already there gives ERROR_ALREADY_EXISTS.
BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);

// Deletes a file; a read-only file or a directory gives ERROR_ACCESS_DENIED.
BOOL DeleteFileA(LPCSTR lpFileName);

// Copies a file with its attributes and last-write time. With bFailIfExists
// an existing target gives ERROR_FILE_EXISTS; a read-only target always gives
// ERROR_ACCESS_DENIED (also for a privileged caller). The copy is written
// beside the target and renamed over it, so a failed copy never leaves a
// partial target behind.
BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);

// The working directory in Windows form, through the drive that maps the
// longest part of it. Returns its length without the terminator, or, when
// the buffer is too small, the size needed with the terminator (the buffer
// untouched); 0 with the last error when the directory lies on no drive.
DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);

// Changes the working directory to a Windows path.
BOOL SetCurrentDirectoryA(LPCSTR lpPathName);

// The temporary directory, ending with '\'. TMP, then TEMP, are honoured when
// they name a directory private to the caller (owned by it, writable by no
// one else); otherwise the per-user folder C:\users\<name>\Temp, created
// with mode 0700. Return value as GetCurrentDirectoryA.
DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);

// ---- processes -------------------------------------------------------------
#define STARTF_USESHOWWINDOW 0x00000001
#define STARTF_USESIZE 0x00000002
#define STARTF_USEPOSITION 0x00000004
#define STARTF_USESTDHANDLES 0x00000100

// Show states (also used by the window family).
#ifndef SW_HIDE
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOW 5
#endif

#define CREATE_NEW_CONSOLE 0x00000010
#define CREATE_NO_WINDOW 0x08000000
#define NORMAL_PRIORITY_CLASS 0x00000020

#define STILL_ACTIVE 259

typedef struct _STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
} STARTUPINFOA, *LPSTARTUPINFOA;

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// Starts a program. Without lpApplicationName the program is the first token
// of the command line: a quoted token as written; an unquoted one that holds
// spaces is tried as each prefix ending before a space, shortest first, then
// the whole line (".exe" is added to a name without an extension). With
// lpApplicationName exactly that file runs. The program must be a host
// executable (ELF or a "#!" script): ERROR_FILE_NOT_FOUND when none is found,
// ERROR_BAD_EXE_FORMAT when the file is of another kind. The child receives
// the command line in CE_COMMAND_LINE and its arguments split by the
// platform's rules. lpEnvironment, when given, is an ANSI block
// ("A=1\0B=2\0\0"). Handles: hProcess (waitable, GetExitCodeProcess) and
// hThread (waitable, ends with the process); both must be closed.
BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                    LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation);

// STILL_ACTIVE while the process runs, then its exit code (128 + the signal
// number when a signal ended it).
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);

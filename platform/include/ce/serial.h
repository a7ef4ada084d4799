// Serial ports (COM1: ... COM255:) on termios, and the file functions they
// share with files. Provided by platform/serial:
//   port_map.cpp   COMn: -> device path, through HKEY_LOCAL_MACHINE\Platform\Ports
//   dcb.cpp        DCB <-> termios, with the mapping of every field
//   port.cpp       CreateFileW (COM names), ReadFile, WriteFile, GetCommState,
//                  SetCommState, ClearCommError, PurgeComm
// CreateFileW, ReadFile and WriteFile hand names that are not COM ports, and
// handles that are not ports, to the file family (see serial/file_hooks.h).
#pragma once

#include "ce/base.h"

// ---- CreateFileW -------------------------------------------------------------
#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define GENERIC_EXECUTE 0x20000000
#define GENERIC_ALL 0x10000000

#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_OVERLAPPED 0x40000000

typedef struct _OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

// "COMn:" opens the device that HKEY_LOCAL_MACHINE\Platform\Ports\COMn names
// (REG_SZ, a device path; empty means disabled), in raw mode. Share mode 0
// makes the open exclusive against every other opener in any process; a port
// in use gives ERROR_ACCESS_DENIED, an unmapped port or a missing device
// ERROR_FILE_NOT_FOUND. Only OPEN_EXISTING and OPEN_ALWAYS apply to ports.
// dwDesiredAccess 0 opens the port for its settings only.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// Synchronous, as on the handheld (lpOverlapped must be NULL). A port read
// returns once all nNumberOfBytesToRead bytes have arrived; a port write once
// the device has taken every byte, waiting while flow control holds output.
// PurgeComm from another thread ends a waiting read or write with
// ERROR_OPERATION_ABORTED, as does closing the handle.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped);

// ---- line settings ----------------------------------------------------------
// The platform's 28-byte record (layout checked in serial/dcb.cpp). How each
// field reaches the device is written down in serial/dcb.cpp.
typedef struct _DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
} DCB, *LPDCB;

#define CBR_110 110
#define CBR_300 300
#define CBR_600 600
#define CBR_1200 1200
#define CBR_2400 2400
#define CBR_4800 4800
#define CBR_9600 9600
#define CBR_14400 14400
#define CBR_19200 19200
#define CBR_38400 38400
#define CBR_56000 56000
#define CBR_57600 57600
#define CBR_115200 115200
#define CBR_128000 128000
#define CBR_256000 256000

#define NOPARITY 0
#define ODDPARITY 1
#define EVENPARITY 2
#define MARKPARITY 3
#define SPACEPARITY 4

#define ONESTOPBIT 0
#define ONE5STOPBITS 1
#define TWOSTOPBITS 2

#define DTR_CONTROL_DISABLE 0x00
#define DTR_CONTROL_ENABLE 0x01
#define DTR_CONTROL_HANDSHAKE 0x02

#define RTS_CONTROL_DISABLE 0x00
#define RTS_CONTROL_ENABLE 0x01
#define RTS_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_TOGGLE 0x03

// FALSE with ERROR_INVALID_PARAMETER for a NULL record. Fills the whole record.
BOOL GetCommState(HANDLE hFile, LPDCB lpDCB);
// Checks the whole record first and applies it in one step: a setting the
// host or the device cannot honour fails with ERROR_INVALID_PARAMETER and
// leaves the port as it was. Afterwards GetCommState answers the record as set.
BOOL SetCommState(HANDLE hFile, LPDCB lpDCB);

// ---- errors and queues ----------------------------------------------------------
typedef struct _COMSTAT {
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
} COMSTAT, *LPCOMSTAT;

#define CE_RXOVER 0x0001
#define CE_OVERRUN 0x0002
#define CE_RXPARITY 0x0004
#define CE_FRAME 0x0008
#define CE_BREAK 0x0010

// TRUE with the line errors seen since the last call (then cleared) and, in
// lpStat, the bytes received and not yet read (cbInQue) and the bytes not yet
// sent (cbOutQue). Fails with ERROR_DEVICE_NOT_CONNECTED once the device has
// gone (hang-up, adapter unplugged) and every byte received before was read.
BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat);

#define PURGE_TXABORT 0x0001
#define PURGE_RXABORT 0x0002
#define PURGE_TXCLEAR 0x0004
#define PURGE_RXCLEAR 0x0008

// TXABORT/RXABORT end writes/reads waiting in other threads at once
// (ERROR_OPERATION_ABORTED); TXCLEAR/RXCLEAR discard the bytes queued for
// sending / received and not yet read.
BOOL PurgeComm(HANDLE hFile, DWORD dwFlags);

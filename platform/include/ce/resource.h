// Embedded resources, string tables, version information, modules and
// program start. Provided by platform/resource (resources of the loaded
// modules) and platform/entry (command line; main() in the ceentry_w and
// ceentry_a libraries).
//
// A program's resource script is compiled into it by the build
// (ce_add_resources); each module's HINSTANCE is the address where it is
// loaded, and names the resources compiled into that module.
#pragma once

#include "ce/base.h"

// ---- resource names and types --------------------------------------------
// A resource is named by a number (below 0x10000) or by a string.
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEW

#define RT_CURSOR MAKEINTRESOURCE(1)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_MENU MAKEINTRESOURCE(4)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_FONTDIR MAKEINTRESOURCE(7)
#define RT_FONT MAKEINTRESOURCE(8)
#define RT_ACCELERATOR MAKEINTRESOURCE(9)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_MESSAGETABLE MAKEINTRESOURCE(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCE(12)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)
#define RT_VERSION MAKEINTRESOURCE(16)
#define RT_DLGINCLUDE MAKEINTRESOURCE(17)
#define RT_PLUGPLAY MAKEINTRESOURCE(19)
#define RT_VXD MAKEINTRESOURCE(20)
#define RT_ANICURSOR MAKEINTRESOURCE(21)
#define RT_ANIICON MAKEINTRESOURCE(22)
#define RT_HTML MAKEINTRESOURCE(23)
#define RT_MANIFEST MAKEINTRESOURCE(24)

// ---- finding and loading resources (resource/find.cpp) --------------------
// hModule NULL means the program itself. Errors: ERROR_RESOURCE_DATA_NOT_FOUND
// (the module has no resources), ERROR_RESOURCE_TYPE_NOT_FOUND,
// ERROR_RESOURCE_NAME_NOT_FOUND. String names compare without regard to case;
// "#123" names the number 123.
HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
// The resource's bytes, read-only, valid while the module stays loaded.
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID LockResource(HGLOBAL hResData);
DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);
// Resources need no freeing; returns FALSE as the platform does.
BOOL FreeResource(HGLOBAL hResData);

// ---- string tables (resource/strings.cpp) ----------------------------------
// Copies string uID into the buffer, cut to cchBufferMax - 1 characters
// (never between the two halves of a surrogate pair) and terminated; returns
// the characters copied. cchBufferMax 0: stores a read-only pointer to the
// string, which is not terminated, in *(LPCWSTR *)lpBuffer and returns its
// length. A missing string returns 0 and leaves an empty buffer.
int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
// The same string in the PC's code page (CP_ACP), cut to cchBufferMax - 1
// bytes at a character boundary and terminated; returns the bytes copied.
int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);

// ---- version information (resource/version.cpp) ---------------------------
typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;  // VS_FFI_SIGNATURE
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "VS_FIXEDFILEINFO is 52 bytes");

#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_VERSION_INFO 1

// Size of the version information of a module file (a program or library
// built with a resource script), 0 with the last error when it has none.
DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle);
BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
// "\\" gives the VS_FIXEDFILEINFO, "\\VarFileInfo\\Translation" the language
// and code page pairs, "\\StringFileInfo\\<lang><cp>\\<name>" a text (its
// length in characters with the terminator). Paths compare without regard
// to case.
BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID *lplpBuffer, UINT *puLen);

// ---- modules (resource/modules.cpp) -----------------------------------------
// NULL: the program. A name: a loaded library, by its file name with or
// without "lib", ".so" or ".dll".
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
HMODULE GetModuleHandleA(LPCSTR lpModuleName);

// ---- program start (entry/) ---------------------------------------------------
// The whole command line, the program's name first: CE_COMMAND_LINE when set
// (UTF-8, as CreateProcessA passes it), else the program's arguments, quoted
// where needed so that they split back into the same words. The narrow form
// is in the PC's code page. Both stay valid for the life of the process.
LPWSTR GetCommandLineW();
LPSTR GetCommandLineA();

// A program defines one of these; link ceentry_w or ceentry_a for the main()
// that calls it with the program's instance, the command line after the
// program's name, and SW_SHOWNORMAL, and exits with its result.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

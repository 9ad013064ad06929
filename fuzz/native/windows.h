// Native stand-in for the few Win32 declarations that the program's text readers include,
// so that they build unchanged with clang on Linux for the fuzz targets. Only what those
// files name is here; fuzz/native/Win32StandIn.cpp defines the calls over an in-memory disk,
// INI file and archiver DLL that each fuzz target fills in (fuzz/native/StandIn.h).
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdint>

#define WINAPI
#define MAX_PATH 260
#define TRUE 1
#define FALSE 0

typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef int64_t LONGLONG;
typedef size_t SIZE_T;
typedef char16_t WCHAR;  // two bytes, as on Windows
typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HMODULE;
typedef struct HKEY__* HKEY;
typedef struct HDROP__* HDROP;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef intptr_t (*FARPROC)();

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        int32_t HighPart;
    } u;
    LONGLONG QuadPart;
};

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    char cFileName[MAX_PATH];
};
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    WCHAR cFileName[MAX_PATH];
};

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_NORMAL 0x80
#define GENERIC_READ 0x80000000u
#define FILE_SHARE_READ 1
#define FILE_SHARE_WRITE 2
#define OPEN_EXISTING 3
#define NORM_IGNORECASE 1
#define CSTR_EQUAL 2
#define MB_OK 0
#define MB_YESNO 4
#define MB_DEFBUTTON2 0x100
#define IDOK 1
#define IDYES 6
#define IDNO 7

DWORD GetFileAttributesA(LPCSTR path);
HANDLE FindFirstFileA(LPCSTR path, WIN32_FIND_DATAA* found);
HANDLE FindFirstFileW(const WCHAR* path, WIN32_FIND_DATAW* found);
DWORD GetShortPathNameW(const WCHAR* longPath, WCHAR* shortPath, DWORD size);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* found);
BOOL FindClose(HANDLE search);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
BOOL CloseHandle(HANDLE handle);
BOOL DeleteFileA(LPCSTR path);
BOOL MoveFileA(LPCSTR from, LPCSTR to);

HMODULE LoadLibraryA(LPCSTR file);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
long RegCloseKey(HKEY key);

int CompareStringA(DWORD locale, DWORD flags, LPCSTR a, int lengthA, LPCSTR b, int lengthB);

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int fallback, LPCSTR file);
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer,
                               DWORD size, LPCSTR file);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);

// The drop handle's memory block (the shell drop below) and the conversions of wide names.
// The stand-ins' code page holds the code units 0 to 0xFF, each as the byte of its value:
// every name a target puts on the disk or in a drop fits it.
const UINT CP_ACP = 0;
#define WC_NO_BEST_FIT_CHARS 0x400
SIZE_T GlobalSize(HANDLE memory);
void* GlobalLock(HANDLE memory);
BOOL GlobalUnlock(HANDLE memory);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideLength,
                        LPSTR bytes, int size, LPCSTR defaultChar, BOOL* usedDefault);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int length, WCHAR* wide,
                        int size);

// The program formats only integers with it, which vsprintf formats alike.
inline int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsprintf(buffer, format, arguments);
    va_end(arguments);
    return written;
}

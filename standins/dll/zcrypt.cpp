// Zcrypt32.dll is only probed for presence: loading it is all that is asked of it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

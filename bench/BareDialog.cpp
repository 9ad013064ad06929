// The start-up yardstick: a program that shows an empty dialog from a resource and waits,
// as Zibrak.exe's settings road does with its real window. It ends when the dialog is closed.
#include <windows.h>

#include "bench/BareDialog.h"

namespace {

INT_PTR CALLBACK BareProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_BARE_DIALOG), nullptr, BareProc, 0);
    return 0;
}

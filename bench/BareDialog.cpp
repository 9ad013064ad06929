// The start-up yardsticks: a program that shows a dialog from a resource and waits, as
// Zibrak.exe's settings road does with its real window, and nothing else. bench_dialog
// shows an empty dialog; bench_dialog_settings shows Zibrak's own settings template with
// its controls unfilled, which tells the window's own cost from the program's.
// Either ends when the dialog is closed.
#include <windows.h>
#include <commctrl.h>

#ifdef BENCH_SETTINGS_TEMPLATE
#include "ui/resource.h"
#define BENCH_TEMPLATE IDD_SETTINGS
#else
#include "bench/BareDialog.h"
#define BENCH_TEMPLATE IDD_BARE_DIALOG
#endif

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
#ifdef BENCH_SETTINGS_TEMPLATE
    // The template holds an up-down control, whose class is registered only on request.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
#endif
    DialogBoxParamA(instance, MAKEINTRESOURCEA(BENCH_TEMPLATE), nullptr, BareProc, 0);
    return 0;
}

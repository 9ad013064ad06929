// The settings window: a modeless dialog (resource 103) and the program's one message loop.
#pragma once
#include <windows.h>

// The module that holds the dialog resource; set by start-up.
extern HINSTANCE AppInstance;

// Runs the window until it is destroyed; true only when it was closed with OK.
bool ShowSettings(int showCommand);
INT_PTR CALLBACK SettingsDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Copies the controls into Options and keeps the Send To shortcut in step; always true.
bool ReadDialogOptions(HWND window);
void UpdateFormatControls(HWND window);

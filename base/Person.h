// The one seam for what needs a person: message boxes, the two choosers, showing a folder
// in Explorer, opening a document through the shell, and ending the process when a
// chooser is cancelled. The program talks to the Win32 implementation; tests install a
// scripted double that records every call and answers as the test chose.
#pragma once
#include <windows.h>
#include <commdlg.h>

class Person {
public:
    virtual ~Person() = default;

    // MessageBoxA; returns the button pressed (IDOK, IDYES, IDNO, ...).
    virtual int ShowMessage(HWND owner, const char* text, const char* caption, UINT flags) = 0;
    // MessageBoxW, for a text naming a file whose name the code page cannot hold.
    virtual int ShowWideMessage(HWND owner, const WCHAR* text, const WCHAR* caption,
                                UINT flags) = 0;
    // The shell's folder browser (no root, no callback). On success writes the chosen
    // folder's path into path (260 bytes) and returns true; false when cancelled.
    virtual bool BrowseForFolder(HWND owner, const char* title, UINT flags, char* path) = 0;
    // GetSaveFileNameA on a filled-in structure; false when cancelled or failed.
    virtual bool ChooseSaveFile(OPENFILENAMEA& dialog) = 0;
    // Starts Explorer with this command line and does not wait for it.
    virtual void StartExplorer(const char* commandLine) = 0;
    // ShellExecuteA(no window, "open", path, no parameters, no directory, SW_SHOWDEFAULT).
    virtual void OpenDocument(const char* path) = 0;
    // Ends the process with this exit code through the runtime's normal exit. The real one
    // does not return; the test double does, and its callers return at once after it.
    virtual void EndProcess(int exitCode) = 0;
};

// The person the program talks to now.
Person& CurrentPerson();
// Installs a double (tests); nullptr puts the Win32 person back.
void SetPerson(Person* person);

#include "base/Person.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "base/Handles.h"

namespace {

class Win32Person : public Person {
public:
    int ShowMessage(HWND owner, const char* text, const char* caption, UINT flags) override {
        return MessageBoxA(owner, text, caption, flags);
    }

    int ShowWideMessage(HWND owner, const WCHAR* text, const WCHAR* caption,
                        UINT flags) override {
        return MessageBoxW(owner, text, caption, flags);
    }

    bool BrowseForFolder(HWND owner, const char* title, UINT flags, char* path) override {
        char displayName[MAX_PATH] = "";
        BROWSEINFOA info = {};
        info.hwndOwner = owner;
        info.pszDisplayName = displayName;
        info.lpszTitle = title;
        info.ulFlags = flags;
        ItemList chosen(SHBrowseForFolderA(&info));
        if (!chosen) return false;
        path[0] = '\0';
        // A chosen item without a file-system path leaves path empty; the callers' own
        // existence test then refuses it.
        SHGetPathFromIDListA(chosen.get(), path);
        return true;
    }

    bool ChooseSaveFile(OPENFILENAMEA& dialog) override { return GetSaveFileNameA(&dialog) != 0; }

    void StartExplorer(const char* commandLine) override {
        STARTUPINFOA startup;
        GetStartupInfoA(&startup);
        PROCESS_INFORMATION process = {};
        // CreateProcessA may write into the command line, so it gets a copy of its own.
        std::string line(commandLine);
        if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE,
                           CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }

    void OpenDocument(const char* path) override {
        ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWDEFAULT);
    }

    void EndProcess(int exitCode) override { std::exit(exitCode); }
};

Win32Person win32Person;
Person* current = &win32Person;

}  // namespace

Person& CurrentPerson() { return *current; }

void SetPerson(Person* person) { current = person ? person : &win32Person; }

#include "app/Startup.h"

#include <shlobj.h>

#include "archivers/Chain.h"
#include "base/FileList.h"
#include "jobs/Jobs.h"
#include "settings/Options.h"
#include "shell/Associations.h"
#include "shell/Install.h"
#include "shell/SpecialDirs.h"
#include "ui/SettingsDialog.h"

Road ChooseRoad(int fileCount, const char* argumentText) {
    if (fileCount > 0) return Road::Job;
    if (argumentText[0] == '/' && argumentText[1] == 'i') return Road::Install;
    if (argumentText[0] == '/' && argumentText[1] == 'u') return Road::Uninstall;
    return Road::Settings;
}

void RunSettingsRoad(int showCommand, const char* iniFile) {
    if (!ShowSettings(showCommand)) return;
    SaveOptions(iniFile);
    UpdateAssociations(iniFile);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

int RunStartup(HINSTANCE instance, const char* argumentText, const WCHAR* wideArgumentText,
               int showCommand) {
    // Archiver DLLs are loaded by bare name; without this an archive opened from a folder
    // holding a planted Unlha32.dll would run that DLL. Any DLL directory takes the current
    // folder out of the search; naming the program's own folder, which is searched first
    // anyway, leaves the application's folder, the system folders and PATH as they were.
    // (An empty string means the same on Windows, but Wine takes it for no call at all.)
    char programFolder[MAX_PATH] = "";
    GetSpecialDir(programFolder, DIR_MODULE, nullptr);
    SetDllDirectoryA(programFolder);

    AppInstance = instance;
    FileList files;
    files.fillFromCommandLine(wideArgumentText);
    const char* iniFile = kIniFileName;
    LoadOptions(iniFile);
    BuildArchiverChain();

    // A refused file was given too: the job says why it does nothing.
    const int given = files.count() + static_cast<int>(files.refused().size());
    switch (ChooseRoad(given, argumentText)) {
    case Road::Job:
        if (!RunJob(files)) RunSettingsRoad(showCommand, iniFile);
        break;
    case Road::Install:
        Install(iniFile);
        break;
    case Road::Uninstall:
        Uninstall(iniFile);
        break;
    case Road::Settings:
        RunSettingsRoad(showCommand, iniFile);
        break;
    }

    DestroyArchiverChain();
    return 0;
}

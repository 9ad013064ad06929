#include <windows.h>

#include "app/Startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR argumentText, int showCommand) {
    return RunStartup(instance, argumentText, SkipProgramName(GetCommandLineW()), showCommand);
}

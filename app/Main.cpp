#include <windows.h>

#include "app/Startup.h"
#include "base/CommandLine.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR argumentText, int showCommand) {
    return RunStartup(instance, argumentText, SkipProgramName(GetCommandLineW()), showCommand);
}

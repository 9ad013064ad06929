// Start-up: turns the argument text into a file list, loads the settings and the archivers,
// and takes exactly one road.
#pragma once
#include <windows.h>

enum class Road { Job, Install, Uninstall, Settings };

// The files come first: a switch is looked at only when no file was given, and only as
// the first two bytes of the raw argument text ("/i", "/u"; lower case).
Road ChooseRoad(int fileCount, const char* argumentText);

// The settings window; after OK the settings are saved and the associations brought up
// to date, and the shell is told even when nothing changed. Any other close writes nothing.
void RunSettingsRoad(int showCommand, const char* iniFile);

// The whole process after the platform's entry; returns the exit code. The files come
// from wideArgumentText, so that a name the code page cannot hold is not lost; switches
// are read from argumentText.
int RunStartup(HINSTANCE instance, const char* argumentText, const WCHAR* wideArgumentText,
               int showCommand);

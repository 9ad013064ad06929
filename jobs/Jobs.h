// A job: the files of one gesture, extracted when every one is an archive, else packed
// into one new archive.
#pragma once
#include <windows.h>

#include "base/FileList.h"
#include "base/StrBuf.h"

// The settings window while it exists (it owns the compression-failed message), else none.
extern HWND SettingsWindow;

// False for an empty list and when no archiver offers the chosen format; true on every
// other road that returns. A cancelled chooser ends the process with exit code 1. A list
// with a refused path (FileList::refused) does nothing but say so, and gives true.
bool RunJob(const FileList& files);
// True when the job extracts: the list is one file, or several with MeltForAllArc on, and
// an archiver of the chain recognises every one of them.
bool IsExtraction(const FileList& files);
// Shows directory in a new Explorer window without waiting for it.
void OpenInExplorer(const StrBuf& directory);

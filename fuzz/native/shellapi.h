// Native stand-in: the drop calls of base/FileList.cpp. A drop is never fuzzed (its names
// come from the shell), so the stand-in drop holds no files.
#pragma once
#include <windows.h>

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
void DragFinish(HDROP drop);

// Native stand-in: the drop calls of base/FileList.cpp, over the names a fuzz target puts
// in the drop (fuzz/native/StandIn.h).
#pragma once
#include <windows.h>

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
void DragFinish(HDROP drop);

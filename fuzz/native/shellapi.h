// Native stand-in: the drop calls of base/FileList.cpp, over the names a fuzz target puts
// in the drop (fuzz/native/StandIn.h).
#pragma once
#include <windows.h>

// The block a drop handle holds: this header, then the names, each ended by a NUL, then a
// NUL (wide names when fWide).
struct DROPFILES {
    DWORD pFiles;  // where the names begin
    struct {
        int32_t x, y;
    } pt;
    BOOL fNC;
    BOOL fWide;
};

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
UINT DragQueryFileW(HDROP drop, UINT index, WCHAR* buffer, UINT size);
void DragFinish(HDROP drop);

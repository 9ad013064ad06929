// Native stand-in: the names base/Handles.h mentions in its COM and item-list owners.
// The fuzz targets never use those owners, so the calls are declared and not defined.
#pragma once
#include <windows.h>

typedef struct ITEMIDLIST* LPITEMIDLIST;
long CoInitialize(void* reserved);
void CoUninitialize();
void CoTaskMemFree(void* block);

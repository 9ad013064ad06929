// Native stand-in: base/Person.h only names the save dialog's structure.
#pragma once
#include <windows.h>

struct OPENFILENAMEA;

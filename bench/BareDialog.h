// The bare dialog program's one resource id.
#pragma once
#define IDD_BARE_DIALOG 101
